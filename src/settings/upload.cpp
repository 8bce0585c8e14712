// The three UPDATE buttons: send a running controller the parameters of one
// group that were edited since their last upload, then refresh the record.

#include "app/TForm1.h"

#include <QLabel>
#include <QLineEdit>

#include "app/poll_pause.h"
#include "protocol/parameters.h"
#include "settings/change_marks.h"
#include "settings/numbers.h"

namespace {

// Stops the poll so that no status request goes out between the commands,
// runs the group's upload, and resumes the poll however the upload ends.
void runUpload(TForm1& f, void (TForm1::*upload)())
{
    PollPause pause(f.Timer1);
    (f.*upload)(); // a record refresh that fails ends the click here
    f.consoleAppend(QStringLiteral("\r\n"));
    f.setWindowTitle(f.formTitle);
}

// Walks the group's flagged parameters in table order. A rejected text keeps
// its flag (also one set by a sidereal speed just sent) and its label.
void uploadGroup(TForm1& f, protocol::UploadGroup group, QAbstractButton* update)
{
    using protocol::Param;
    const auto marks = changeMarks(f);
    std::array<bool, protocol::kParamCount> flags{};
    std::array<std::string, protocol::kParamCount> texts;
    for (std::size_t i = 0; i < marks.size(); ++i) {
        flags[i] = f.*marks[i].flag;
        texts[i] = marks[i].edit->text().toStdString();
    }
    const std::vector<protocol::UploadStep> plan =
        protocol::planUpload(group, flags, texts, f.i2cAddress.toLatin1(), f.decimalSep());

    for (const protocol::UploadStep& step : plan) {
        const ChangeMark& m = changeMark(marks, step.param);
        const std::size_t i = static_cast<std::size_t>(step.param);
        if (!step.accepted) {
            // The check shows why; the flag and the red label stay.
            const QString text = QString::fromStdString(texts[i]);
            if (protocol::parameterRow(step.param).form == protocol::ArgumentForm::EditText)
                f.testInteger(text);
            else
                f.testThousandths(text);
            f.*m.flag = true;
            continue;
        }
        f.*m.flag = false;
        for (QLabel* l : m.labels)
            if (l) setLabelColor(l, QColor(0, 0, 0));
        if (m.repeated) m.repeated->setText(QString::fromLatin1(m.repeatedPrefix) + QString::fromStdString(texts[i]));
        if (step.param == Param::SidSpeed) f.test_sidspeed = step.argument.value;
        if (step.param == Param::TrackSpeed) f.trackingSpeed = QString::fromStdString(step.argument.text);
        f.sendToQuorvane(QString::fromLatin1(step.body), f.delay150);
    }

    f.UpdateSettingsFromDisplays(); // throws on a text that does not convert: the button stays enabled
    update->setEnabled(false);
}

} // namespace

bool TForm1::testThousandths(const QString& numVal)
{
    if (!testNumber(numVal)) return false;
    if (settings::parseThousandths(numVal.toStdString(), decimalSep())) return true;
    // A number, but its thousandths would not fit the command's argument.
    platform().showMessage(QStringLiteral("Value \"") + numVal + QStringLiteral("\" in edit box\r\nis out of range."));
    return false;
}

void TForm1::ButtonUpdatePropClick() { runUpload(*this, &TForm1::updateControlProperties); }
void TForm1::ButtonUpdatePIDClick() { runUpload(*this, &TForm1::updatePIDProperties); }
void TForm1::ButtonUpdateTrackClick() { runUpload(*this, &TForm1::updateTrackProperties); }

void TForm1::updateControlProperties()
{
    uploadGroup(*this, protocol::UploadGroup::ControlProperties, ButtonUpdateProp);
}

void TForm1::updatePIDProperties() { uploadGroup(*this, protocol::UploadGroup::PIControl, ButtonUpdatePID); }

void TForm1::updateTrackProperties() { uploadGroup(*this, protocol::UploadGroup::Tracking, ButtonUpdateTrack); }
