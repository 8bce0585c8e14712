#pragma once
// The twelve uploadable parameters as the form shows them: the edit, its
// change flag and handler, the labels that turn red while a change waits,
// the group's UPDATE button and the control-tab label that repeats the
// value. The record field, the command, the group and the check come from
// the parameter table of the protocol. The change handlers, the start-up
// reset of the marks and the uploads all walk this one table.

#include <array>

#include "app/TForm1.h"
#include "protocol/parameters.h"

struct ChangeMark {
    protocol::Param param;
    bool TForm1::*flag;
    void (TForm1::*handler)();
    QLineEdit* edit;
    std::array<QLabel*, 2> labels; // the second only for the offset tracking speed
    QAbstractButton* update;
    QLabel* repeated = nullptr; // the control tab's copy, after `repeatedPrefix`
    const char* repeatedPrefix = nullptr;
};

// Indexed by protocol::Param.
std::array<ChangeMark, protocol::kParamCount> changeMarks(TForm1& f);

const ChangeMark& changeMark(const std::array<ChangeMark, protocol::kParamCount>& marks, protocol::Param p);
