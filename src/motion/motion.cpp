// The control tab: stop, free, resets, tracking, the three slewing modes,
// GO TO and pulse guiding. Every handler checks its edits first, then sends
// with the status poll paused; no reply is read, the poll shows the effect.

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "app/TForm1.h"
#include "app/poll_pause.h"
#include "protocol/parameters.h"
#include "protocol/wire.h"

namespace cmd = protocol::cmd;

namespace {

// An edit's text as sent: exactly as typed (it passed a check, so it is ASCII).
std::string typed(const QLineEdit* edit) { return edit->text().toStdString(); }

QString body(const std::string& b) { return QString::fromLatin1(b); }

// MOVE reacts to a mouse button going down and up, whichever button, and to
// a held Ctrl+M: the first key press acts as the press, the key's release as
// the release, auto-repeat is ignored.
class SlewInput : public QObject {
public:
    explicit SlewInput(TForm1& form) : QObject(&form), form_(form) { qApp->installEventFilter(this); }

    bool eventFilter(QObject* target, QEvent* e) override
    {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            const auto* m = static_cast<QMouseEvent*>(e);
            if (target != form_.ButtonSlew || !form_.ButtonSlew->isEnabled() || m->buttons() != m->button())
                return false;
            if (!press()) return false; // the button still draws itself pressed
            // A message box took the release: the button must not stay
            // down, and the release is due all the same.
            form_.guarded([this] { form_.ButtonSlewMouseUp(); });
            return true;
        }
        case QEvent::MouseButtonRelease: {
            const auto* m = static_cast<QMouseEvent*>(e);
            if (target == form_.ButtonSlew && form_.ButtonSlew->isEnabled() && m->buttons() == Qt::NoButton)
                form_.guarded([this] { form_.ButtonSlewMouseUp(); });
            return false;
        }
        case QEvent::KeyPress: {
            const auto* k = static_cast<QKeyEvent*>(e);
            if (k->key() != Qt::Key_M || !inThisWindow(target)) return false;
            if (k->isAutoRepeat()) return keyHeld_;
            if (k->modifiers() != Qt::ControlModifier || !reachable()) return false;
            // A release lost to a message box leaves keyHeld_ set; a new
            // press is a new press all the same.
            keyHeld_ = true;
            form_.ButtonSlew->setDown(true);
            if (press() && keyHeld_) keyUp();
            return true;
        }
        case QEvent::KeyRelease: {
            const auto* k = static_cast<QKeyEvent*>(e);
            if (k->key() != Qt::Key_M || !keyHeld_ || !inThisWindow(target)) return false;
            if (!k->isAutoRepeat()) keyUp();
            return true;
        }
        case QEvent::WindowBlocked:
            if (target == &form_) blocked_ = true;
            return false;
        case QEvent::WindowDeactivate:
            // The release would go to another window: a held key ends here.
            if (target == &form_ && keyHeld_) keyUp();
            return false;
        default: return false;
        }
    }

private:
    bool inThisWindow(QObject* target) const
    {
        return target->isWidgetType() && static_cast<QWidget*>(target)->window() == &form_;
    }
    // As for the other shortcuts: the button must be shown and enabled.
    bool reachable() const { return form_.ButtonSlew->isVisible() && form_.ButtonSlew->isEnabled(); }
    // Runs the press handler; true when a modal box (a failed check) opened
    // meanwhile, which takes the release that belongs to the press.
    bool press()
    {
        blocked_ = false;
        form_.guarded([this] { form_.ButtonSlewMouseDown(); });
        return blocked_;
    }
    void keyUp()
    {
        keyHeld_ = false;
        form_.ButtonSlew->setDown(false);
        form_.guarded([this] { form_.ButtonSlewMouseUp(); });
    }

    TForm1& form_;
    bool keyHeld_ = false;
    bool blocked_ = false;
};

} // namespace

void TForm1::ButtonStopClick()
{
    PollPause pause(Timer1);
    sendToQuorvane(body(cmd::stopMotor(i2cAddress.toLatin1())), delay100);
}

void TForm1::ButtonFreeClick()
{
    PollPause pause(Timer1);
    sendToQuorvane(body(cmd::freeMotor(i2cAddress.toLatin1())), delay100);
}

void TForm1::ButtonResetPosClick()
{
    PollPause pause(Timer1);
    sendToQuorvane(body(cmd::resetCounters(i2cAddress.toLatin1())), delay100);
    consoleAppend(QStringLiteral("Motor position, QE\r\n and sidereal counters set to 0.\r\n"));
}

void TForm1::ButtonResetIndexClick()
{
    PollPause pause(Timer1);
    sendToQuorvane(body(cmd::resetIndex(i2cAddress.toLatin1())), delay100);
}

void TForm1::ButtonTrackClick()
{
    const QString speed = EditTrackSpeed->text();
    if (!testThousandths(speed)) return;
    PollPause pause(Timer1);
    const auto arg = protocol::parameterArgument(protocol::Param::TrackSpeed, speed.toStdString(), decimalSep());
    trackingSpeed = QString::fromStdString(arg->text);
    const char a = i2cAddress.toLatin1();
    sendToQuorvane(body(protocol::parameterBody(protocol::Param::TrackSpeed, a, arg->thousandths)), delay150);
    sendToQuorvane(body(cmd::startTracking(a)), delay100);
}

void TForm1::ButtonUntrackClick()
{
    PollPause pause(Timer1);
    sendToQuorvane(body(cmd::stopTracking(i2cAddress.toLatin1())), delay100);
}

void TForm1::ButtonSlewMouseDown()
{
    // Unlike the other handlers, polling pauses before the checks.
    PollPause pause(Timer1);
    const char a = i2cAddress.toLatin1();
    if (RadioButtonBySteps->isChecked()) {
        if (!testInteger(EditSlewSpeed->text()) || !testNumber(EditBySteps->text())) return;
        sendToQuorvane(body(cmd::moveSpeed(a, typed(EditSlewSpeed))), delay150);
        sendToQuorvane(body(cmd::moveBy(a, typed(EditBySteps))), delay100);
        return;
    }
    if (!testInteger(EditSlewSpeed->text())) return;
    sendToQuorvane(body(cmd::moveContinuous(a, typed(EditSlewSpeed))), delay100);
}

void TForm1::ButtonSlewMouseUp()
{
    // The motor moves only while the button is held, in this mode only.
    if (!RadioButtonPressed->isChecked()) return;
    PollPause pause(Timer1);
    sendToQuorvane(body(cmd::stopMotor(i2cAddress.toLatin1())), delay100);
}

void TForm1::ButtonUpdateSlewClick()
{
    if (!testInteger(EditSlewSpeed->text())) return;
    PollPause pause(Timer1);
    sendToQuorvane(body(cmd::changeSlewSpeed(i2cAddress.toLatin1(), typed(EditSlewSpeed))), delay100);
}

void TForm1::ButtonGoToClick()
{
    if (!testInteger(EditGotoSpeed->text()) || !testInteger(EditGotoPos->text())) return;
    PollPause pause(Timer1);
    const char a = i2cAddress.toLatin1();
    sendToQuorvane(body(cmd::moveSpeed(a, typed(EditGotoSpeed))), delay150);
    sendToQuorvane(body(cmd::goTo(a, typed(EditGotoPos))), delay100);
}

void TForm1::ButtonPulseLeftClick()
{
    // Neither the hint's maximum nor the tracking state is enforced: the
    // controller decides.
    if (!testInteger(EditPulseTime->text())) return;
    PollPause pause(Timer1);
    sendToQuorvane(body(cmd::pulseMinus(i2cAddress.toLatin1(), typed(EditPulseTime))), delay100);
}

void TForm1::ButtonPulseRightClick()
{
    if (!testInteger(EditPulseTime->text())) return;
    PollPause pause(Timer1);
    sendToQuorvane(body(cmd::pulsePlus(i2cAddress.toLatin1(), typed(EditPulseTime))), delay100);
}

void TForm1::slewingModeClick()
{
    // "Update Speed" changes the speed of a running continuous slew only.
    ButtonUpdateSlew->setEnabled(RadioButtonContinuous->isChecked());
}

void TForm1::connectMotionEvents()
{
    wire(ButtonStop, &QToolButton::clicked, &TForm1::ButtonStopClick);
    wire(ButtonFree, &QToolButton::clicked, &TForm1::ButtonFreeClick);
    wire(ButtonResetPos, &QPushButton::clicked, &TForm1::ButtonResetPosClick);
    wire(ButtonResetIndex, &QPushButton::clicked, &TForm1::ButtonResetIndexClick);
    wire(ButtonTrack, &QToolButton::clicked, &TForm1::ButtonTrackClick);
    wire(ButtonUntrack, &QPushButton::clicked, &TForm1::ButtonUntrackClick);
    wire(ButtonUpdateSlew, &QPushButton::clicked, &TForm1::ButtonUpdateSlewClick);
    wire(ButtonGoTo, &QToolButton::clicked, &TForm1::ButtonGoToClick);
    wire(ButtonPulseLeft, &QToolButton::clicked, &TForm1::ButtonPulseLeftClick);
    wire(ButtonPulseRight, &QToolButton::clicked, &TForm1::ButtonPulseRightClick);
    for (QRadioButton* b : {RadioButtonContinuous, RadioButtonPressed, RadioButtonBySteps})
        wire(b, &QRadioButton::clicked, &TForm1::slewingModeClick);
    // MOVE's press and release come from its mouse and key events.
    new SlewInput(*this);
}
