#include "controller/states.h"

#include "app/TForm1.h"

namespace controller {

std::vector<EnabledRow> enabledTable(TForm1& f, Step step)
{
    struct Row {
        QWidget* w;
        bool connect, disconnect, activate, release;
    };
    // clang-format off
    const Row rows[] = {
        //                         CONNECT DISCONN ACTIVATE RELEASE
        {f.ButtonConnect,          false,  true,   false,   false},
        {f.ButtonDisconnect,       true,   false,  false,   true},
        {f.ButtonActivate,         true,   false,  false,   true},
        {f.ButtonRelease,          false,  false,  true,    false},
        {f.ButtonExit,             false,  true,   false,   false},
        {f.ComboBoxComPort,        false,  true,   false,   false},
        {f.ComboBoxBaudRate,       false,  true,   false,   false},
        {f.ComboBoxI2Caddr,        true,   true,   false,   true},
        {f.RadioGroupRefSyst,      true,   true,   false,   true},
        {f.RadioGroupPosReq,       true,   true,   false,   true},
        {f.ComboBoxReqFreq,        true,   true,   false,   true},
        {f.ButtonLoadModel,        false,  true,   false,   false},
        {f.ButtonSaveModel,        false,  true,   false,   false},
        {f.ButtonResetSettings,    false,  true,   false,   false},
        {f.GroupBoxProp,           false,  true,   true,    true},
        {f.GroupBoxPID,            false,  true,   true,    true},
        {f.GroupBoxTrack,          false,  true,   true,    true},
        {f.GroupBoxPolarity,       false,  true,   false,   false},
        {f.ButtonUpdateProp,       false,  false,  false,   false},
        {f.ButtonUpdatePID,        false,  false,  false,   false},
        {f.ButtonUpdateTrack,      false,  false,  false,   false},
        {f.ButtonResetPos,         false,  false,  true,    false},
        {f.ButtonResetIndex,       false,  false,  true,    false},
        {f.ButtonStop,             false,  false,  true,    false},
        {f.ButtonFree,             false,  true,   true,    true},
        {f.GroupBoxTrack2,         false,  false,  true,    false},
        {f.GroupBoxSlew,           false,  false,  true,    false},
        {f.ButtonUpdateSlew,       false,  false,  false,   false},
        {f.GroupBoxGoTo,           false,  false,  true,    false},
        {f.GroupBoxPulseGuide,     false,  false,  true,    false},
        {f.GroupBoxGraph,          false,  false,  true,    false},
    };
    // clang-format on
    std::vector<EnabledRow> out;
    for (const Row& r : rows) {
        if (step == Step::Activate && r.w == f.ButtonUpdateSlew) continue;
        bool on = step == Step::Connect      ? r.connect
                  : step == Step::Disconnect ? r.disconnect
                  : step == Step::Activate   ? r.activate
                                             : r.release;
        out.push_back({r.w, on});
    }
    return out;
}

void applyEnabled(TForm1& form, Step step)
{
    for (const EnabledRow& r : enabledTable(form, step)) r.widget->setEnabled(r.enabled);
}

} // namespace controller
