// The Time panel's list saved as text and read back: its steps, each photo's stored settings
// and zoom, and the repeat count. The reader is strict: the first line that is not right stops
// it, with that line's number and what is wrong, and nothing is taken from the file.
//
//   kestrel-time-list 1
//   repeat 500
//   delay 10
//   photo
//     zoom = 3
//     TV = 1/125
//     Image Size = RAW + Large
//
// Blank lines and lines starting with "#" are skipped. "repeat N" (0: until stopped) is
// optional and comes before the steps. A setting line ("  NAME = LABEL", indented) belongs to
// the photo step above it; NAME is a setting's short name as the console uses it. Standard
// library only; any thread.
#pragma once

#include "capture/SequenceItem.h"

#include <string>
#include <vector>

struct SequenceList {
    std::vector<SequenceItem> steps;
    int repeats = 1;   // passes through the list; 0 runs it until stopped
};

std::string WriteSequenceList(const SequenceList& list);
// False, with "line N: what is wrong" in error, when the text is not a valid list; list is
// then unchanged.
bool ReadSequenceList(const std::string& text, SequenceList& list, std::string& error);
