// Start-up at the first activation, shutdown at every close request.

#include "app/TForm1.h"

#include <QVariant>

#include "controller/poll.h"
#include "protocol/wire.h"
#include "settings/change_marks.h"
#include "serial/portnames.h"
#include "serial/serial.h"

namespace {

const char* const kSettingsFile = "qvnsettings.dat";

} // namespace

void TForm1::FormActivate()
{
    // 1. The ports that can be opened now, each with its device as tooltip.
    ComboBoxComPort->clear();
    for (const std::string& name : serial::listComPorts()) {
        ComboBoxComPort->addItem(QString::fromStdString(name));
        if (const auto n = serial::comNumber(name)) {
            if (const auto dev = serial::devicePathFor(*n))
                ComboBoxComPort->setItemData(ComboBoxComPort->count() - 1, QString::fromStdString(*dev),
                                             Qt::ToolTipRole);
        }
    }

    // 2.
    isPortOpen = false;
    isTracking = false;
    isConnected = false;
    showMessDisactivated = false;
    // The pauses of the poll table's fallback row until an activation
    // chooses a rate; commands go to controller 1 until then.
    const controller::PollTiming fallback = controller::pollTiming(-1);
    delay100 = fallback.delay100;
    delay150 = fallback.delay150;
    delay250 = fallback.delay250;
    i2cAddress = QLatin1Char(protocol::addressChar(1));

    // 3.
    formTitle = QStringLiteral("QUORVANE MOTOR TESTER TUNER  V3.1.2        ");
    setWindowTitle(formTitle);

    // 4.
    _motorType = 0;
    _refSyst = 0;
    pointidx = 0;

    // 5.
    bool loaded = false;
    try {
        if (settings::readRecordFile(kSettingsFile, mySettings)) {
            UpdateDisplaysFromSettings();
            loaded = true;
        }
    } catch (const std::exception&) {
        loaded = false;
    }
    if (!loaded) {
        ButtonResetSettingsClick();
        platform().showMessage(QStringLiteral("File qvnsettings.dat not found\r\n"
                                              "Default settings shown\r\n"
                                              "Please, enter the settings for your motor\r\n"
                                              "or load a model."));
    }

    // 6. The unconnected state.
    for (QWidget* w : std::initializer_list<QWidget*>{ButtonConnect, ComboBoxComPort, ComboBoxBaudRate, ButtonExit,
                                                      GroupBoxProp, GroupBoxPID, GroupBoxTrack, GroupBoxPolarity,
                                                      ButtonLoadModel, ButtonSaveModel, ButtonResetSettings})
        w->setEnabled(true);
    for (QWidget* w : std::initializer_list<QWidget*>{
             ButtonDisconnect, ButtonActivate, ButtonRelease, ComboBoxI2Caddr, RadioGroupRefSyst, RadioGroupPosReq,
             ComboBoxReqFreq, ButtonUpdateProp, ButtonUpdatePID, ButtonUpdateTrack, ButtonResetPos, ButtonResetIndex,
             ButtonStop, ButtonFree, GroupBoxTrack2, GroupBoxSlew, GroupBoxGoTo, GroupBoxPulseGuide, GroupBoxGraph})
        w->setEnabled(false);
    LabelRX->setText(QStringLiteral("Waiting"));
    EditGotoPos->setText(QStringLiteral("0"));
    LabelPercent->setText(QStringLiteral("0 %"));

    // 7.
    consoleClear();
    consoleAppend(QStringLiteral("QUORVANE MOTOR TESTER TUNER"));
    consoleAppend(QString());
    consoleAppend(QStringLiteral("Select the Port Name and the Baud Rate,"));
    consoleAppend(QStringLiteral("then click the CONNECT button."));
    consoleAppend(QString());

    // 8. A calculator that fails reports its error; the others and step 9
    // still run so the window always ends up complete.
    guarded([this] { ButtonCalculateDCClick(); });
    guarded([this] { ButtonCalculateStepperClick(); });
    guarded([this] { ButtonCalculateFocuserClick(); });

    // 9. No change waits for an upload.
    for (const ChangeMark& m : changeMarks(*this)) {
        this->*m.flag = false;
        for (QLabel* l : m.labels)
            if (l) setLabelColor(l, QColor(0, 0, 0));
    }
}

void TForm1::ButtonExitClick() { close(); }

void TForm1::FormClose()
{
    // 1. Release the controller, to the address of the last activation.
    if (isConnected) {
        const char a = i2cAddress.toLatin1();
        sendToQuorvane(QString::fromStdString(protocol::cmd::stopTracking(a)), delay150);
        sendToQuorvane(QString::fromStdString(protocol::cmd::freeMotor(a)), delay150);
        sendToQuorvane(QString::fromStdString(protocol::cmd::releaseController(a)), delay150);
        isConnected = false;
    }
    // 2.
    Timer1.stop();
    // 3.
    if (isPortOpen) {
        serial::closeComPort();
        isPortOpen = false;
    }
    // 4. A text that does not convert throws: nothing is written and the
    // window stays open so the user can correct it.
    UpdateSettingsFromDisplays();
    // 5. Atomic: a failed write throws and leaves the old file whole.
    settings::writeRecordFile(kSettingsFile, mySettings);
}
