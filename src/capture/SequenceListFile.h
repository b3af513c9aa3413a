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
// Blank lines and lines starting with "#" are skipped; a UTF-8 byte-order mark before the first
// line is too. "repeat N" (0: until stopped) is optional and comes before the steps. A setting
// line ("  NAME = LABEL", indented) belongs to the photo step above it; NAME is a setting's
// short name as the console uses it. A line is at most 4096 characters, a list at most 100,000
// steps. The file is read as the settings files are (a regular file only, never waited on, at
// most 16 MB) and replaced whole when saved (sdk/SettingsFile.h). Standard library only; any
// thread.
#pragma once

#include "capture/SequenceItem.h"

#include <string>
#include <vector>

struct SequenceList {
    std::vector<SequenceItem> steps;
    int repeats = 1;   // passes through the list; 0 runs it until stopped
};

constexpr std::size_t kMaxListFileBytes = 16 * 1024 * 1024;
constexpr std::size_t kMaxListLineLength = 4096;
constexpr std::size_t kMaxListSteps = 100000;

std::string WriteSequenceList(const SequenceList& list);
// False, with "line N: what is wrong" in error, when the text is not a valid list; list is
// then unchanged.
bool ReadSequenceList(const std::string& text, SequenceList& list, std::string& error);

// The file at path read into list. False, list unchanged, with error naming the file: "<path>
// is a fifo, not a regular file; it is not read", "<path> is larger than 16 MB; it is not
// read", "<path>: there is no such file", "<path>: line 4: ...".
bool LoadSequenceListFile(const std::string& path, SequenceList& list, std::string& error);
// Replaces the file at path whole; false with the reason ("cannot write <path>: No space left
// on device"), the old file left as it was.
bool SaveSequenceListFile(const std::string& path, const SequenceList& list, std::string& error);
// path with ".ktl" added when its file name has no extension.
std::string WithListExtension(const std::string& path);
