// The control tab.

#include "app/TForm1.h"

void TForm1::slewingModeClick()
{
    // "Update Speed" changes the speed of a running continuous slew only.
    ButtonUpdateSlew->setEnabled(RadioButtonContinuous->isChecked());
}

void TForm1::connectMotionEvents()
{
    for (QRadioButton* b : {RadioButtonContinuous, RadioButtonPressed, RadioButtonBySteps})
        wire(b, &QRadioButton::clicked, &TForm1::slewingModeClick);
}
