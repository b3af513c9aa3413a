#include "picture/SeriesKeyword.h"

#include "picture/Sidecar.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace picture {
namespace {

const std::string kStackPrefix = "Focus stack ";
const std::string kBracketPrefix = "Bracket ";

// Reads a positive decimal number at text[at...] (no sign, no leading zero, at most 6 digits).
bool number(const std::string& text, std::size_t& at, int& out) {
    const std::size_t start = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 7) ++at;
    if (at == start || at - start > 6 || (text[start] == '0' && at - start > 1)) return false;
    out = std::atoi(text.substr(start, at - start).c_str());
    return true;
}

bool literal(const std::string& text, std::size_t& at, const std::string& word) {
    if (text.compare(at, word.size(), word) != 0) return false;
    at += word.size();
    return true;
}

// "-2", "+1 1/3", "-2/3", "0" at text[at...].
bool evValue(const std::string& text, std::size_t& at, int& thirds) {
    if (literal(text, at, "0")) {
        thirds = 0;
        return true;
    }
    int sign = 0;
    if (literal(text, at, "+")) sign = 1;
    else if (literal(text, at, "-")) sign = -1;
    else return false;
    int whole = 0, part = 0;
    std::size_t mark = at;
    if (number(text, at, whole)) {
        if (at < text.size() && text[at] == '/') {   // "2/3": no whole stops
            at = mark;
            whole = 0;
        } else {
            mark = at;
            if (!literal(text, at, " ")) at = mark;
            else if (literal(text, at, "1/3")) part = 1;
            else if (literal(text, at, "2/3")) part = 2;
            else at = mark;
            thirds = sign * (whole * 3 + part);
            return whole > 0;
        }
    }
    if (literal(text, at, "1/3")) part = 1;
    else if (literal(text, at, "2/3")) part = 2;
    else return false;
    thirds = sign * part;
    return true;
}

}   // namespace

std::string FocusStackKeyword(int series, int index, int total) {
    return kStackPrefix + std::to_string(series) + ": " + std::to_string(index) + " of " +
           std::to_string(total);
}

std::string EvText(int evThirds) {
    if (evThirds == 0) return "0";
    const int size = std::abs(evThirds);
    std::string text = evThirds < 0 ? "-" : "+";
    if (size / 3 > 0) text += std::to_string(size / 3);
    if (size % 3 != 0) {
        if (size / 3 > 0) text += ' ';
        text += std::to_string(size % 3) + "/3";
    }
    return text;
}

std::string BracketKeyword(int series, int evThirds) {
    return kBracketPrefix + std::to_string(series) + ": " + EvText(evThirds) + " EV";
}

std::optional<SeriesKeyword> ParseSeriesKeyword(const std::string& keyword) {
    SeriesKeyword out;
    std::size_t at = 0;
    if (literal(keyword, at, kStackPrefix)) {
        out.kind = SeriesKind::FocusStack;
        if (!number(keyword, at, out.series) || !literal(keyword, at, ": ") ||
            !number(keyword, at, out.index) || !literal(keyword, at, " of ") ||
            !number(keyword, at, out.total))
            return std::nullopt;
        if (out.series < 1 || out.index < 1 || out.index > out.total) return std::nullopt;
    } else if (literal(keyword, at, kBracketPrefix)) {
        out.kind = SeriesKind::Bracket;
        if (!number(keyword, at, out.series) || !literal(keyword, at, ": ") ||
            !evValue(keyword, at, out.evThirds) || !literal(keyword, at, " EV"))
            return std::nullopt;
        if (out.series < 1) return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (at != keyword.size()) return std::nullopt;
    return out;
}

std::optional<SeriesKeyword> SeriesOf(const std::vector<std::string>& keywords) {
    for (const std::string& k : keywords)
        if (auto parsed = ParseSeriesKeyword(k)) return parsed;
    return std::nullopt;
}

int NextSeriesNumber(const std::string& folder, SeriesKind kind) {
    namespace fs = std::filesystem;
    int highest = 0;
    std::error_code error;
    for (fs::directory_iterator it(folder.empty() ? "." : folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() < 5 || name.compare(name.size() - 4, 4, ".xmp") != 0) continue;
        // The picture the sidecar belongs to reads it; the sidecar's own path stands for it.
        const std::string picture = it->path().string().substr(0, it->path().string().size() - 4);
        for (const std::string& k : ReadKeywords(picture))
            if (auto parsed = ParseSeriesKeyword(k); parsed && parsed->kind == kind)
                highest = std::max(highest, parsed->series);
    }
    return highest + 1;
}

}   // namespace picture
