// The status poll: each tick reads the reply to the previous tick's request,
// shows it, and sends the next request.

#include <QColor>
#include <QPalette>

#include "app/TForm1.h"
#include "controller/poll.h"
#include "protocol/wire.h"
#include "serial/serial.h"

namespace {

void setLamp(QWidget* panel, bool on)
{
    QPalette p = panel->palette();
    p.setColor(QPalette::Window, on ? QColor(255, 0, 0) : QColor(128, 128, 128));
    panel->setPalette(p);
}

QString text(const std::string& s) { return QString::fromLatin1(s); }

} // namespace

void TForm1::Timer1Timer()
{
    platform().sleepMs(delay100);
    // Whatever happens while reading, the next request still goes out.
    guarded([this] { ReadStatus(); });
    serial::writeComPort(protocol::statusRequest(i2cAddress.toLatin1(), mySettings.setting_reqPos != 0));
}

void TForm1::ReadStatus()
{
    const std::string reply = serial::readComPort();
    LabelRX->setText(text(reply));

    const auto d = controller::readStatusReply(reply, mySettings.setting_reqPos, mySettings.setting_refSyst);
    if (!d) {
        LabelRX->setText(QStringLiteral("Waiting 1"));
        return;
    }

    Labeli2cAddr->setText(text(d->i2cAddress));
    LabelMotorType->setText(text(d->motorType));
    _motorType = d->motorTypeValue;
    LabelStatus->setText(text(d->status));
    LabelStep->setText(text(d->internalState));
    LabelIndex->setText(text(d->index));
    setLamp(PanelTrack, d->tracking);
    isTracking = d->tracking;
    setLamp(PanelMove, d->moving);

    if (!d->enoughFields) {
        LabelComErr->setText(QStringLiteral("COM ERROR"));
        return;
    }
    LabelSid->setText(text(*d->sidLabel));
    LabelMot->setText(text(*d->motLabel));
    if (!d->converted) {
        LabelComErr->setText(QStringLiteral("COM ERROR"));
        return;
    }

    _cursidtime = d->sidTime;
    _curposit = d->posit;
    _cursidcoor = d->sidCoor;
    LabelCoor->setText(text(d->coorLabel));
    LabelSensorVal->setText(text(d->sensorLabel));
    LabelComErr->setText(QStringLiteral("........"));
    if (tographics) addPointToGraph();

    if (d->errorHalt && showMessDisactivated) {
        // Cleared first: a tick that runs while the box is open must not show it again.
        showMessDisactivated = false;
        showMessageAfterTick(QStringLiteral("Motor disactivated. Click Release, then click Activate"));
    }
}

void TForm1::connectControllerEvents()
{
    wire(ButtonConnect, &QPushButton::clicked, &TForm1::ButtonConnectClick);
    wire(ButtonDisconnect, &QPushButton::clicked, &TForm1::ButtonDisconnectClick);
    wire(ButtonActivate, &QPushButton::clicked, &TForm1::ButtonActivateClick);
    wire(ButtonRelease, &QPushButton::clicked, &TForm1::ButtonReleaseClick);
    wire(&Timer1, &QTimer::timeout, &TForm1::Timer1Timer);
}
