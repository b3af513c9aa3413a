// The sequence log: one CSV row per finished or dropped step of a timed sequence, appended to
// "<capture folder><capture name>-sequence.csv". The header is written when the file is new or
// empty; each row goes to the file in one write as it is written, so a crash loses at most the
// step in progress, and a row the disk takes only in part is cut off again (sdk::AppendFile).
// Never opened through a link, nor on a fifo or device. Used by the sequence worker only.
#pragma once

#include "sdk/SettingsFile.h"

#include <chrono>
#include <string>

class SequenceLog {
public:
    static constexpr const char* kHeader =
        "run_start,step,kind,planned_start,actual_start,end,file,settings_changed,result";

    struct Row {
        int step = 0;       // the step's "#" in the list
        std::string kind;   // "delay", "photo", or "camera" (it went away or came back)
        std::chrono::system_clock::time_point plannedStart, actualStart, end;
        std::string file;              // the file(s) the picture was saved under, or empty
        std::string settingsChanged;   // "TV=1/125;AV=5.6"
        std::string result;   // "done" (delay), "captured", "failed", "missed", "no camera",
                              // "dropped", "camera lost", "camera back",
                              // "camera given up"
    };

    SequenceLog() = default;
    ~SequenceLog();
    SequenceLog(const SequenceLog&) = delete;
    SequenceLog& operator=(const SequenceLog&) = delete;

    // Opens path for appending; runStart stamps every row. On failure error says why.
    bool Open(const std::string& path, std::chrono::system_clock::time_point runStart,
              std::string& error);
    bool isOpen() const { return file_.isOpen(); }
    // False, with the reason in error, when the row could not be written whole.
    bool Write(const Row& row, std::string& error);
    void Close();

    // "2026-12-08T02:33:08.123Z"
    static std::string FormatTime(std::chrono::system_clock::time_point time);
    // The field quoted when it holds a comma, a quote or a line break.
    static std::string Field(const std::string& text);

private:
    sdk::AppendFile file_;
    std::string runStart_;
};
