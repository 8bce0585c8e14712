// ACTIVATE and RELEASE, and the poll rate they set.

#include "app/TForm1.h"
#include "controller/poll.h"
#include "controller/states.h"
#include "protocol/parameters.h"
#include "protocol/wire.h"
#include "settings/numbers.h"

namespace {

QString body(const std::string& s) { return QString::fromLatin1(s); }

} // namespace

void TForm1::updateTimer1()
{
    const controller::PollTiming t = controller::pollTiming(mySettings.setting_reqFreqIdx);
    delay100 = t.delay100;
    delay150 = t.delay150;
    delay250 = t.delay250;
    interval1 = t.interval1;
    Timer1.setInterval(interval1);
}

void TForm1::ButtonActivateClick()
{
    Timer1.stop();
    UpdateSettingsFromDisplays(); // a text that does not convert ends here, timer stopped

    const settings::TMYSETTINGS& s = mySettings;
    i2cAddress = QLatin1Char(protocol::addressChar(s.setting_addrIdx));
    updateTimer1();
    consoleAppend(QString());

    // Writes report nothing: a controller that does not answer shows in the poll.
    for (const std::string& b : protocol::activationBodies(s, i2cAddress.toLatin1())) sendToQuorvane(body(b), delay150);
    consoleAppend(QString());
    _refSyst = s.setting_refSyst;
    LabelRefSyst->setText(QStringLiteral("Reference system: ") +
                          (s.setting_refSyst == 0 ? QStringLiteral("FIXED") : QStringLiteral("SIDEREAL")));
    test_sidspeed = settings::fromThousandths(s.setting_sidSpeed);

    controller::applyEnabled(*this, controller::Step::Activate);
    slewingModeClick();
    LabelPercent->setText(QStringLiteral("0 %"));
    showMessDisactivated = true;
    Timer1.start(interval1);
}

void TForm1::ButtonReleaseClick()
{
    // Writes report nothing (a lost frame is seen by the poll), so there is no
    // failure to catch here.
    const char a = i2cAddress.toLatin1();
    consoleAppend(QString());
    sendToQuorvane(body(protocol::cmd::stopTracking(a)), delay150);
    sendToQuorvane(body(protocol::cmd::freeMotor(a)), delay150);
    sendToQuorvane(body(protocol::cmd::releaseController(a)), delay100);
    consoleAppend(QStringLiteral("Controller FREE"));
    controller::applyEnabled(*this, controller::Step::Release);
    LabelPercent->setText(QStringLiteral("0 %"));
}
