// The DC, stepper and focuser calculation pages: validate the edits, run the
// pure calculation, write its labels, and show whether the results are stale.

#include "app/TForm1.h"
#include "app/errors.h"
#include "calculators/calculators.h"
#include "settings/numbers.h"

#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QToolButton>

#include <initializer_list>
#include <vector>

namespace {

// Every edit of the list passes testNumber, in the list's order; the first
// that does not has shown its message.
template <class Form>
bool allNumbers(Form& form, std::initializer_list<QLineEdit*> edits)
{
    for (QLineEdit* edit : edits)
        if (!form.testNumber(edit->text())) return false;
    return true;
}

// The edit's value; the text has passed testNumber already, so a refusal here
// means the two rules disagree and must not pass unnoticed as a zero.
double readNumber(const QLineEdit* edit, char sep)
{
    const QString text = edit->text();
    const auto value = settings::parseDecimal(text.toStdString(), sep);
    if (!value) throw ConversionError("\"" + text.toStdString() + "\" is not a valid floating point value");
    return *value;
}

// Writes the labels the calculation produced, in its order, then reports its
// fault, if any, to the error boundary. `labels[n - 1]` shows label n.
void showOutcome(const calc::Outcome& out, const std::vector<QLabel*>& labels)
{
    for (const auto& [number, text] : out.labels)
        labels.at(static_cast<std::size_t>(number - 1))->setText(QString::fromStdString(text));
    if (out.fault) throw ArithmeticError(calc::faultMessage(*out.fault));
}

// Stale results: the button can be pressed and says so in red. The disabled
// colours are left alone, so a current button is drawn greyed.
void markStale(QToolButton* button)
{
    button->setEnabled(true);
    QPalette palette = button->palette();
    const QColor red(255, 0, 0);
    palette.setColor(QPalette::Active, QPalette::ButtonText, red);
    palette.setColor(QPalette::Inactive, QPalette::ButtonText, red);
    button->setPalette(palette);
}

} // namespace

void TForm1::ButtonCalculateDCClick()
{
    if (!allNumbers(*this, {EditDCreductor, EditDCrpm, EditDCcounts, EditDCteethNum, EditDCteethAdv, EditDCgears}))
        return;
    const char sep = decimalSep();
    calc::DcInputs in;
    in.reductor = readNumber(EditDCreductor, sep);
    in.rpm = readNumber(EditDCrpm, sep);
    in.counts = readNumber(EditDCcounts, sep);
    in.teethNum = readNumber(EditDCteethNum, sep);
    in.teethAdv = readNumber(EditDCteethAdv, sep);
    in.gears = readNumber(EditDCgears, sep);
    showOutcome(calc::calculateDc(in, sep),
                {LabelResultDC1, LabelResultDC2, LabelResultDC3, LabelResultDC4, LabelResultDC5, LabelResultDC6});
    ButtonCalculateDC->setEnabled(false);
    setWindowTitle(formTitle);
}

void TForm1::EditDCchange() { markStale(ButtonCalculateDC); }

void TForm1::ButtonCalculateStepperClick()
{
    if (!allNumbers(*this, {EditSTEPreductor, EditSTEPteethNum, EditSTEPteethAdv, EditSTEPfullsteps, EditSTEPmicrosteps,
                            EditSTEPmaxspeed, EditSTEPgears}))
        return;
    const char sep = decimalSep();
    calc::StepperInputs in;
    in.reductor = readNumber(EditSTEPreductor, sep);
    in.teethNum = readNumber(EditSTEPteethNum, sep);
    in.gears = readNumber(EditSTEPgears, sep);
    in.teethAdv = readNumber(EditSTEPteethAdv, sep);
    in.fullSteps = readNumber(EditSTEPfullsteps, sep);
    in.microSteps = readNumber(EditSTEPmicrosteps, sep);
    in.maxSpeed = readNumber(EditSTEPmaxspeed, sep);
    in.maxSpeedText = EditSTEPmaxspeed->text().toStdString();
    showOutcome(calc::calculateStepper(in, sep), {LabelResultStep1, LabelResultStep2, LabelResultStep3,
                                                  LabelResultStep4, LabelResultStep5, LabelResultStep6});
    ButtonCalculateStepper->setEnabled(false);
    setWindowTitle(formTitle);
}

void TForm1::EditSTEPchange() { markStale(ButtonCalculateStepper); }

void TForm1::ButtonCalculateFocuserClick()
{
    if (!allNumbers(*this, {EditFOCUSreductor, EditFOCUSgears, EditFOCUScounts, EditFOCUSturns})) return;
    const char sep = decimalSep();
    calc::FocuserInputs in;
    in.reductor = readNumber(EditFOCUSreductor, sep);
    in.gears = readNumber(EditFOCUSgears, sep);
    in.counts = readNumber(EditFOCUScounts, sep);
    in.turns = readNumber(EditFOCUSturns, sep);
    showOutcome(calc::calculateFocuser(in, sep), {LabelFocuserResult});
    ButtonCalculateFocuser->setEnabled(false);
    setWindowTitle(formTitle);
}

void TForm1::EditFOCUSchange() { markStale(ButtonCalculateFocuser); }

void TForm1::connectCalculatorEvents()
{
    const auto onChange = [this](std::initializer_list<QLineEdit*> edits, void (TForm1::*handler)()) {
        for (QLineEdit* edit : edits) wire(edit, &QLineEdit::textChanged, handler);
    };
    onChange({EditDCteethNum, EditDCteethAdv, EditDCreductor, EditDCgears, EditDCcounts, EditDCrpm},
             &TForm1::EditDCchange);
    onChange({EditSTEPteethNum, EditSTEPteethAdv, EditSTEPreductor, EditSTEPgears, EditSTEPfullsteps,
              EditSTEPmicrosteps, EditSTEPmaxspeed},
             &TForm1::EditSTEPchange);
    onChange({EditFOCUSturns, EditFOCUSreductor, EditFOCUSgears, EditFOCUScounts}, &TForm1::EditFOCUSchange);
    wire(ButtonCalculateDC, &QToolButton::clicked, &TForm1::ButtonCalculateDCClick);
    wire(ButtonCalculateStepper, &QToolButton::clicked, &TForm1::ButtonCalculateStepperClick);
    wire(ButtonCalculateFocuser, &QToolButton::clicked, &TForm1::ButtonCalculateFocuserClick);
}
