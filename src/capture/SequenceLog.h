// The sequence log: one CSV row per finished or dropped step of a timed sequence, appended to
// "<capture folder><capture name>-sequence.csv". The header is written when the file is new or
// empty; each row is flushed as it is written, so a crash loses at most the step in progress.
// Used by the sequence worker only.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

class SequenceLog {
public:
    static constexpr const char* kHeader =
        "run_start,step,kind,planned_start,actual_start,end,file,settings_changed,result";

    struct Row {
        int step = 0;       // the step's "#" in the list
        std::string kind;   // "delay" or "photo"
        std::chrono::system_clock::time_point plannedStart, actualStart, end;
        std::string file;              // written picture, or empty
        std::string settingsChanged;   // "TV=1/125;AV=5.6"
        std::string result;   // "done" (delay), "captured", "failed", "no camera", "dropped"
    };

    SequenceLog() = default;
    ~SequenceLog();
    SequenceLog(const SequenceLog&) = delete;
    SequenceLog& operator=(const SequenceLog&) = delete;

    // Opens path for appending; runStart stamps every row. On failure error says why.
    bool Open(const std::string& path, std::chrono::system_clock::time_point runStart,
              std::string& error);
    bool isOpen() const { return file_ != nullptr; }
    // False when the row could not be written.
    bool Write(const Row& row);
    void Close();

    // "2026-12-08T02:33:08.123Z"
    static std::string FormatTime(std::chrono::system_clock::time_point time);
    // The field quoted when it holds a comma, a quote or a line break.
    static std::string Field(const std::string& text);

private:
    std::FILE* file_ = nullptr;
    std::string runStart_;
};
