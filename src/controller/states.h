#pragma once
// Which controls each step of the connection leaves enabled.

#include <QWidget>
#include <vector>

class TForm1;

namespace controller {

enum class Step { Connect, Disconnect, Activate, Release };

struct EnabledRow {
    QWidget* widget;
    bool enabled;
};

// The controls a step sets and the state it gives each. ButtonUpdateSlew is
// left out of the rows for Activate: slewingModeClick sets it after ACTIVATE
// from the slewing mode chosen.
std::vector<EnabledRow> enabledTable(TForm1& form, Step step);

void applyEnabled(TForm1& form, Step step);

} // namespace controller
