// The settings record and the controls that show it: both whole-record
// copies, the two validations and the change marks of the uploadable
// parameters.

#include "app/TForm1.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include <vector>

#include "app/errors.h"
#include "settings/change_marks.h"
#include "settings/numbers.h"

namespace {

using settings::TMYSETTINGS;
using Field = std::int32_t TMYSETTINGS::*;

enum class Kind {
    PortText,     // "COM" + number in an editable combo
    ComboInteger, // the combo's text as an integer
    ComboIndex,   // the selected item, -1 for none
    Radio,        // the selected choice, -1 for none
    Integer,      // an edit holding an integer
    Thousandths,  // an edit holding a decimal, stored times 1000
};

struct Binding {
    Field field;
    Kind kind;
    QWidget* control;
};

// In the order both copies walk them.
std::vector<Binding> bindings(TForm1& f)
{
    return {
        {&TMYSETTINGS::setting_comPortNumber, Kind::PortText, f.ComboBoxComPort},
        {&TMYSETTINGS::setting_baudRate, Kind::ComboInteger, f.ComboBoxBaudRate},
        {&TMYSETTINGS::setting_addrIdx, Kind::ComboIndex, f.ComboBoxI2Caddr},
        {&TMYSETTINGS::setting_refSyst, Kind::Radio, f.RadioGroupRefSyst},
        {&TMYSETTINGS::setting_reqPos, Kind::Radio, f.RadioGroupPosReq},
        {&TMYSETTINGS::setting_reqFreqIdx, Kind::ComboIndex, f.ComboBoxReqFreq},
        {&TMYSETTINGS::setting_KP, Kind::Integer, f.EditKP},
        {&TMYSETTINGS::setting_KI, Kind::Integer, f.EditKI},
        {&TMYSETTINGS::setting_ErrLim, Kind::Integer, f.EditErrLim},
        {&TMYSETTINGS::setting_intLim, Kind::Integer, f.EditIntLim},
        {&TMYSETTINGS::setting_intMaxSpeed, Kind::Integer, f.EditIntMaxSpeed},
        {&TMYSETTINGS::setting_sidSpeed, Kind::Thousandths, f.EditSidSpeed},
        {&TMYSETTINGS::setting_offsetTrackSpeed, Kind::Thousandths, f.EditTrackSpeed},
        {&TMYSETTINGS::setting_guideSpeed, Kind::Thousandths, f.EditGuideSpeed},
        {&TMYSETTINGS::setting_accel, Kind::Integer, f.EditAccel},
        {&TMYSETTINGS::setting_final, Kind::Integer, f.EditFinal},
        {&TMYSETTINGS::setting_sensThr, Kind::Integer, f.EditSensor},
        {&TMYSETTINGS::setting_stepPulseWidth, Kind::Integer, f.EditPulseWidth},
        {&TMYSETTINGS::setting_limitSWP, Kind::Radio, f.RadioGroupLimSwP},
        {&TMYSETTINGS::setting_limitSWM, Kind::Radio, f.RadioGroupLimSwM},
        {&TMYSETTINGS::setting_invertDir, Kind::Radio, f.RadioGroupInvertDir},
        {&TMYSETTINGS::setting_freeAtStop, Kind::Radio, f.RadioGroupFreeAtStop},
        {&TMYSETTINGS::setting_enableVoltIdx, Kind::Radio, f.RadioGroupEnableVoltage},
        {&TMYSETTINGS::setting_IndexEdgeIdx, Kind::Radio, f.RadioGroupIndexEdge},
        {&TMYSETTINGS::setting_resetOnIndex, Kind::Radio, f.RadioGroupResetOnIndex},
        {&TMYSETTINGS::setting_sensorDetectPol, Kind::Radio, f.RadioGroupSensorDetect},
        {&TMYSETTINGS::setting_slewSpeed, Kind::Integer, f.EditSlewSpeed},
        {&TMYSETTINGS::setting_stepByStep, Kind::Integer, f.EditBySteps},
        {&TMYSETTINGS::setting_gotoSpeed, Kind::Integer, f.EditGotoSpeed},
        {&TMYSETTINGS::setting_pulseTime, Kind::Integer, f.EditPulseTime},
        {&TMYSETTINGS::setting_graphStep, Kind::Integer, f.EditGraphStep},
        {&TMYSETTINGS::setting_graphSpeed, Kind::Integer, f.EditGraphSpeed},
        {&TMYSETTINGS::setting_DCteethNum, Kind::Thousandths, f.EditDCteethNum},
        {&TMYSETTINGS::setting_DCteethAdv, Kind::Thousandths, f.EditDCteethAdv},
        {&TMYSETTINGS::setting_DCreductor, Kind::Thousandths, f.EditDCreductor},
        {&TMYSETTINGS::setting_DCgears, Kind::Thousandths, f.EditDCgears},
        {&TMYSETTINGS::setting_DCcounts, Kind::Thousandths, f.EditDCcounts},
        {&TMYSETTINGS::setting_DCrpm, Kind::Thousandths, f.EditDCrpm},
        {&TMYSETTINGS::setting_STEPteethNum, Kind::Thousandths, f.EditSTEPteethNum},
        {&TMYSETTINGS::setting_STEPteethAdv, Kind::Thousandths, f.EditSTEPteethAdv},
        {&TMYSETTINGS::setting_STEPreductor, Kind::Thousandths, f.EditSTEPreductor},
        {&TMYSETTINGS::setting_STEPgears, Kind::Thousandths, f.EditSTEPgears},
        {&TMYSETTINGS::setting_STEPfullsteps, Kind::Thousandths, f.EditSTEPfullsteps},
        {&TMYSETTINGS::setting_STEPmicrosteps, Kind::Thousandths, f.EditSTEPmicrosteps},
        {&TMYSETTINGS::setting_STEPmaxspeed, Kind::Thousandths, f.EditSTEPmaxspeed},
        {&TMYSETTINGS::setting_FOCUSturns, Kind::Thousandths, f.EditFOCUSturns},
        {&TMYSETTINGS::setting_FOCUScounts, Kind::Thousandths, f.EditFOCUScounts},
        {&TMYSETTINGS::setting_FOCUSreductor, Kind::Thousandths, f.EditFOCUSreductor},
        {&TMYSETTINGS::setting_FOCUSgears, Kind::Thousandths, f.EditFOCUSgears},
    };
}

// The item a list's text stands for. A text typed into an editable list
// selects the item it spells and no item (-1) otherwise; Qt alone would keep
// the item selected before the typing.
int selectedItem(const QComboBox* combo)
{
    const int current = combo->currentIndex();
    if (!combo->isEditable() || (current >= 0 && combo->itemText(current) == combo->currentText())) return current;
    return combo->findText(combo->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

QString controlText(const Binding& b)
{
    if (auto* combo = qobject_cast<QComboBox*>(b.control)) return combo->currentText();
    return static_cast<QLineEdit*>(b.control)->text();
}

[[noreturn]] void notConverted(const QString& text, const char* what)
{
    throw ConversionError(("\"" + text.toStdString() + "\" is not " + what));
}

QString valueLine(const QString& numVal)
{
    return QStringLiteral("Value \"") + numVal + QStringLiteral("\" in edit box");
}

} // namespace

void TForm1::UpdateDisplaysFromSettings()
{
    const char sep = decimalSep();
    for (const Binding& b : bindings(*this)) {
        const std::int32_t v = mySettings.*b.field;
        switch (b.kind) {
        case Kind::PortText:
            static_cast<QComboBox*>(b.control)->setEditText(QStringLiteral("COM") + QString::number(v));
            break;
        case Kind::ComboInteger: static_cast<QComboBox*>(b.control)->setEditText(QString::number(v)); break;
        case Kind::ComboIndex: {
            auto* combo = static_cast<QComboBox*>(b.control);
            combo->setCurrentIndex(v >= 0 && v < combo->count() ? v : -1);
            break;
        }
        case Kind::Radio: setRadioIndex(static_cast<QGroupBox*>(b.control), v); break;
        case Kind::Integer:
            static_cast<QLineEdit*>(b.control)->setText(QString::fromStdString(settings::formatInteger(v)));
            break;
        case Kind::Thousandths:
            static_cast<QLineEdit*>(b.control)->setText(QString::fromStdString(settings::formatThousandths(v, sep)));
            break;
        }
    }
    // The control tab repeats three speeds of the settings tab.
    for (const ChangeMark& m : changeMarks(*this))
        if (m.repeated) m.repeated->setText(QString::fromLatin1(m.repeatedPrefix) + m.edit->text());
}

void TForm1::UpdateSettingsFromDisplays()
{
    const char sep = decimalSep();
    for (const Binding& b : bindings(*this)) {
        std::int32_t& field = mySettings.*b.field;
        switch (b.kind) {
        case Kind::PortText: {
            const QString text = controlText(b);
            const auto n = settings::parseInteger(text.mid(3, 2).toStdString());
            if (!n) notConverted(text, "a valid port name.");
            field = *n;
            break;
        }
        case Kind::ComboInteger:
        case Kind::Integer: {
            const QString text = controlText(b);
            const auto n = settings::parseInteger(text.toStdString());
            if (!n) notConverted(text, "a valid integer value.");
            field = *n;
            break;
        }
        case Kind::ComboIndex: field = selectedItem(static_cast<QComboBox*>(b.control)); break;
        case Kind::Radio: field = radioIndex(static_cast<QGroupBox*>(b.control)); break;
        case Kind::Thousandths: {
            const QString text = controlText(b);
            const auto n = settings::parseThousandths(text.toStdString(), sep);
            if (!n) notConverted(text, "a valid number.");
            field = *n;
            break;
        }
        }
    }
    for (std::int32_t& w : mySettings.setting_bidon) w = 0;
}

bool TForm1::testNumber(const QString& numVal)
{
    if (settings::parseDecimal(numVal.toStdString(), decimalSep())) return true;
    platform().showMessage(valueLine(numVal) + QStringLiteral("\r\nis not a number.\r\nCheck for decimal separator."));
    return false;
}

bool TForm1::testInteger(const QString& numVal)
{
    if (settings::parseInteger(numVal.toStdString())) return true;
    platform().showMessage(valueLine(numVal) + QStringLiteral("\r\nis not an integer."));
    return false;
}

// ---- change marks: only while the bridge is connected

std::array<ChangeMark, protocol::kParamCount> changeMarks(TForm1& f)
{
    using P = protocol::Param;
    using T = TForm1;
    return {{
        {P::Accel,
         &T::accelerationchanged,
         &T::EditAccelChange,
         f.EditAccel,
         {f.LabelAcceleration},
         f.ButtonUpdateProp},
        {P::Final, &T::finalapprchanged, &T::EditFinalChange, f.EditFinal, {f.LabelFinal}, f.ButtonUpdateProp},
        {P::Sensor, &T::sensortresholdchanged, &T::EditSensorChange, f.EditSensor, {f.LabelSensor}, f.ButtonUpdateProp},
        {P::PulseWidth,
         &T::steppulsewidthchanged,
         &T::EditPulseWidthChange,
         f.EditPulseWidth,
         {f.LabelPulseWidth},
         f.ButtonUpdateProp},
        {P::KP, &T::KPchanged, &T::EditKPChange, f.EditKP, {f.LabelKP}, f.ButtonUpdatePID},
        {P::KI, &T::KIchanged, &T::EditKIChange, f.EditKI, {f.LabelKI}, f.ButtonUpdatePID},
        {P::ErrLim, &T::errlimchanged, &T::EditErrLimChange, f.EditErrLim, {f.LabelErrLim}, f.ButtonUpdatePID},
        {P::IntLim, &T::intlimchanged, &T::EditIntLimChange, f.EditIntLim, {f.LabelIntLim}, f.ButtonUpdatePID},
        {P::IntMaxSpeed,
         &T::intmaxspeedchanged,
         &T::EditIntMaxSpeedChange,
         f.EditIntMaxSpeed,
         {f.LabelIntMaxSpeed},
         f.ButtonUpdatePID},
        {P::SidSpeed,
         &T::sidspeedchanged,
         &T::EditSidSpeedChange,
         f.EditSidSpeed,
         {f.LabelSidSpeed},
         f.ButtonUpdateTrack,
         f.LabelSidSpeed2,
         "Sidereal speed = "},
        {P::TrackSpeed,
         &T::trackspeedchanged,
         &T::EditTrackSpeedChange,
         f.EditTrackSpeed,
         {f.LabelTkSpd1, f.LabelTkSpd2},
         f.ButtonUpdateTrack,
         f.LabelTrackSpeed2,
         "Offset tracking speed = "},
        {P::GuideSpeed,
         &T::guidespeedchanged,
         &T::EditGuideSpeedChange,
         f.EditGuideSpeed,
         {f.LabelGuideSpd},
         f.ButtonUpdateTrack,
         f.LabelGuideSpeed2,
         "at the guiding speed of "},
    }};
}

const ChangeMark& changeMark(const std::array<ChangeMark, protocol::kParamCount>& marks, protocol::Param p)
{
    const ChangeMark& m = marks[static_cast<std::size_t>(p)];
    Q_ASSERT(m.param == p);
    return m;
}

void TForm1::markChanged(protocol::Param param)
{
    if (!isConnected) return;
    const auto marks = changeMarks(*this);
    const ChangeMark& m = changeMark(marks, param);
    this->*m.flag = true;
    for (QLabel* l : m.labels)
        if (l) setLabelColor(l, QColor(255, 0, 0));
    m.update->setEnabled(true);
}

void TForm1::EditAccelChange() { markChanged(protocol::Param::Accel); }
void TForm1::EditFinalChange() { markChanged(protocol::Param::Final); }
void TForm1::EditSensorChange() { markChanged(protocol::Param::Sensor); }
void TForm1::EditPulseWidthChange() { markChanged(protocol::Param::PulseWidth); }
void TForm1::EditKPChange() { markChanged(protocol::Param::KP); }
void TForm1::EditKIChange() { markChanged(protocol::Param::KI); }
void TForm1::EditErrLimChange() { markChanged(protocol::Param::ErrLim); }
void TForm1::EditIntLimChange() { markChanged(protocol::Param::IntLim); }
void TForm1::EditIntMaxSpeedChange() { markChanged(protocol::Param::IntMaxSpeed); }
void TForm1::EditSidSpeedChange() { markChanged(protocol::Param::SidSpeed); }
void TForm1::EditTrackSpeedChange() { markChanged(protocol::Param::TrackSpeed); }
void TForm1::EditGuideSpeedChange() { markChanged(protocol::Param::GuideSpeed); }
