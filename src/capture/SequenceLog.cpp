#include "capture/SequenceLog.h"

#include <cstdio>
#include <ctime>

SequenceLog::~SequenceLog() { Close(); }

bool SequenceLog::Open(const std::string& path, std::chrono::system_clock::time_point runStart,
                       std::string& error) {
    Close();
    if (!file_.Open(path, error)) return false;
    runStart_ = FormatTime(runStart);
    if (file_.wasEmpty() && !file_.Append(std::string(kHeader) + "\r\n", error)) {
        Close();
        return false;
    }
    return true;
}

bool SequenceLog::Write(const Row& row, std::string& error) {
    const std::string line = runStart_ + ',' + std::to_string(row.step) + ',' + row.kind + ',' +
                             FormatTime(row.plannedStart) + ',' + FormatTime(row.actualStart) +
                             ',' + FormatTime(row.end) + ',' + Field(row.file) + ',' +
                             Field(row.settingsChanged) + ',' + row.result + "\r\n";
    return file_.Append(line, error);
}

void SequenceLog::Close() { file_.Close(); }

std::string SequenceLog::FormatTime(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto ms = time_point_cast<milliseconds>(time).time_since_epoch().count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000 - (ms % 1000 < 0 ? 1 : 0));
    const int millis = static_cast<int>(((ms % 1000) + 1000) % 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
    return text;
}

std::string SequenceLog::Field(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}
