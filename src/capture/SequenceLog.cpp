#include "capture/SequenceLog.h"

#include <cerrno>
#include <cstring>
#include <ctime>

SequenceLog::~SequenceLog() { Close(); }

bool SequenceLog::Open(const std::string& path, std::chrono::system_clock::time_point runStart,
                       std::string& error) {
    Close();
    file_ = std::fopen(path.c_str(), "ab");
    if (file_ == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    runStart_ = FormatTime(runStart);
    std::fseek(file_, 0, SEEK_END);
    if (std::ftell(file_) == 0) {
        std::fprintf(file_, "%s\r\n", kHeader);
        if (std::fflush(file_) != 0) {
            error = std::strerror(errno);
            Close();
            return false;
        }
    }
    return true;
}

bool SequenceLog::Write(const Row& row) {
    if (file_ == nullptr) return false;
    const std::string line = runStart_ + ',' + std::to_string(row.step) + ',' + row.kind + ',' +
                             FormatTime(row.plannedStart) + ',' + FormatTime(row.actualStart) +
                             ',' + FormatTime(row.end) + ',' + Field(row.file) + ',' +
                             Field(row.settingsChanged) + ',' + row.result + "\r\n";
    const bool written = std::fputs(line.c_str(), file_) >= 0;
    return std::fflush(file_) == 0 && written;
}

void SequenceLog::Close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

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
