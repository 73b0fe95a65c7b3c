// The notice a check gives the person, mail or no mail: which conditions
// they have not been shown yet, the words of the notice, and the marks that
// keep each condition from being shown twice. Portable: the caller shows it.
#pragma once
#include <cstddef>
#include <cstdint>

#include "drive_table.h"
#include "monitor_rules.h"

// A balloon holds 256 characters; its title 64.
enum { NoticeTextSize = 201 };
extern const char NoticeTitle[];  // "Drive problem"

struct Notice {
    int32_t count;     // conditions new to the person; 0: no notice
    int32_t position;  // DriveIndex of the first one's drive, or where it last answered
    // "<model>: <the first condition as the mail words it>", then "and N
    // more" on a line of its own; cut at a blank to fit.
    char text[NoticeTextSize];
};

// The conditions of the latest check that no mark of their drive covers: new
// ones, and ones gone further than they had when shown.
void ComposeNotice(const MonitorState& state, const DriveRecord table[DriveCount], const ConditionList& found,
                   Notice* notice);

// After the notice (shown: the person saw it): the marks of each drive
// become those of its conditions still found, the new ones among them when
// shown. A drive the check could not compare keeps its marks.
void KeepShownMarks(MonitorState* state, const ConditionList& found, bool shown);
