// The name template: parsing the tokens, rendering them for a capture, checking every part.
#include "document/NameTemplate.h"

#include <cstdio>

namespace {

constexpr const char* kOwnText = "the template's own text";

bool HasControlChar(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

std::string TwoDigits(int value) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%02d", value);
    return digits;
}

// The camera's file name without its folder and extension ("DCIM/IMG_0412.JPG" -> "IMG_0412").
std::string BaseOf(const std::string& cameraFile) {
    const std::size_t slash = cameraFile.rfind('/');
    std::string base = slash == std::string::npos ? cameraFile : cameraFile.substr(slash + 1);
    const std::size_t dot = base.rfind('.');
    if (dot != std::string::npos && dot > 0) base.resize(dot);
    return base;
}

}   // namespace

std::string NamePattern::LongestPart() const {
    const std::pair<std::string, std::size_t>* longest = nullptr;
    for (const auto& part : parts)
        if (!longest || part.second > longest->second) longest = &part;
    return longest ? longest->first : std::string();
}

const std::vector<NameTemplate::TokenInfo>& NameTemplate::Tokens() {
    static const std::vector<TokenInfo> tokens = {
        {"{name}", "the capture name"},
        {"{number}", "the number, four digits at least"},
        {"{number:3}", "the number, at least as many digits as given (1 to 10)"},
        {"{date}", "the capture's date: 2026-12-09"},
        {"{date:yyyyMMdd}", "the date in any format of yyyy yy MM dd"},
        {"{time}", "the capture's time: 14-05-09"},
        {"{time:HHmmss}", "the time in any format of HH mm ss"},
        {"{camera}", "the camera model"},
        {"{series}", "the stack or bracket the picture belongs to"},
        {"{camfile}", "the camera's own file name, without its extension"},
        {"{camnum}", "the number in the camera's own file name"},
        {"{job}", "the job text"},
    };
    return tokens;
}

NameTemplate::NameTemplate(std::string_view text) : text_(text) {
    std::string literal;
    auto flush = [&] {
        if (!literal.empty()) pieces_.push_back({Kind::Text, literal, std::string()});
        literal.clear();
    };
    int numbers = 0;
    for (std::size_t i = 0; i < text.size() && ok(); ++i) {
        const char c = text[i];
        if (c == '}') {
            if (i + 1 < text.size() && text[i + 1] == '}') {
                literal += '}';
                ++i;
                continue;
            }
            error_ = "a '}' without its '{' (write }} for a brace)";
            break;
        }
        if (c != '{') {
            literal += c;
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '{') {
            literal += '{';
            ++i;
            continue;
        }
        const std::size_t close = text.find('}', i);
        if (close == std::string_view::npos) {
            error_ = "a '{' without its '}' (write {{ for a brace)";
            break;
        }
        flush();
        if (!ParseToken(text.substr(i + 1, close - i - 1))) break;
        numbers += pieces_.back().kind == Kind::Number;
        i = close;
    }
    flush();
    if (!ok()) return;
    if (numbers == 0) error_ = "it has no {number}, so every picture would get the same name";
    else if (numbers > 1) error_ = "{number} may appear only once";
}

bool NameTemplate::usesName() const {
    for (const Piece& piece : pieces_)
        if (piece.kind == Kind::Name) return true;
    return false;
}

bool NameTemplate::ParseToken(std::string_view inside) {
    const std::string token = "{" + std::string(inside) + "}";
    const std::size_t colon = inside.find(':');
    const std::string_view word = inside.substr(0, colon);
    const bool hasArgument = colon != std::string_view::npos;
    const std::string argument(hasArgument ? inside.substr(colon + 1) : std::string_view());
    struct Word {
        const char* text;
        Kind kind;
    };
    static const Word words[] = {
        {"name", Kind::Name},       {"number", Kind::Number}, {"date", Kind::Date},
        {"time", Kind::Date},       {"camera", Kind::Camera}, {"series", Kind::Series},
        {"camfile", Kind::CamFile}, {"camnum", Kind::CamNum}, {"job", Kind::Job}};
    for (const Word& w : words) {
        if (word != w.text) continue;
        if (w.kind == Kind::Date) {
            const std::string format =
                hasArgument ? argument : (word == "date" ? "yyyy-MM-dd" : "HH-mm-ss");
            if (format.empty()) {
                error_ = token + " needs a format after its ':'";
                return false;
            }
            pieces_.push_back({Kind::Date, format, token});
            return true;
        }
        if (w.kind == Kind::Number && hasArgument) {
            int width = 0;
            bool digits = !argument.empty() && argument.size() <= 2;
            for (const char c : argument) {
                digits = digits && c >= '0' && c <= '9';
                if (!digits) break;   // a long argument is refused, never multiplied out
                width = width * 10 + (c - '0');
            }
            if (!digits || width < 1 || width > kMaxWidth) {
                error_ = "the width in " + token + " must be a number from 1 to 10";
                return false;
            }
            width_ = width;
        } else if (hasArgument) {
            error_ = token + " takes nothing after a ':'";
            return false;
        }
        pieces_.push_back({w.kind, std::string(), token});
        return true;
    }
    error_ = "unknown token " + token;
    return false;
}

std::string NameTemplate::FormatTime(const std::tm& when, std::string_view format) {
    std::string out;
    for (std::size_t i = 0; i < format.size();) {
        const std::string_view rest = format.substr(i);
        if (rest.starts_with("yyyy")) {
            char year[16];
            std::snprintf(year, sizeof year, "%04d", when.tm_year + 1900);
            out += year;
            i += 4;
        } else if (rest.starts_with("yy")) {
            out += TwoDigits((when.tm_year + 1900) % 100);
            i += 2;
        } else if (rest.starts_with("MM")) {
            out += TwoDigits(when.tm_mon + 1);
            i += 2;
        } else if (rest.starts_with("dd")) {
            out += TwoDigits(when.tm_mday);
            i += 2;
        } else if (rest.starts_with("HH")) {
            out += TwoDigits(when.tm_hour);
            i += 2;
        } else if (rest.starts_with("mm")) {
            out += TwoDigits(when.tm_min);
            i += 2;
        } else if (rest.starts_with("ss")) {
            out += TwoDigits(when.tm_sec);
            i += 2;
        } else {
            out += format[i++];
        }
    }
    return out;
}

std::string NameTemplate::CameraNumber(const std::string& cameraFile) {
    const std::string base = BaseOf(cameraFile);
    std::size_t end = base.size();
    while (end > 0 && (base[end - 1] < '0' || base[end - 1] > '9')) --end;
    std::size_t begin = end;
    while (begin > 0 && base[begin - 1] >= '0' && base[begin - 1] <= '9') --begin;
    return base.substr(begin, end - begin);
}

bool NameTemplate::Render(const NameContext& context, NamePattern& pattern,
                          std::string& why) const {
    pattern = NamePattern{};
    pattern.width = width_;
    if (!ok()) {
        why = "the name template cannot be used: " + error_;
        return false;
    }
    bool afterNumber = false;
    bool lastIsText = false;
    for (const Piece& piece : pieces_) {
        std::string value;
        switch (piece.kind) {
            case Kind::Number:
                afterNumber = true;
                pattern.anySeparator = lastIsText;
                continue;
            case Kind::Text: value = piece.text; break;
            case Kind::Name: value = context.name; break;
            case Kind::Date: value = FormatTime(context.when, piece.text); break;
            case Kind::Camera: value = context.camera; break;
            case Kind::Series: value = context.series; break;
            case Kind::CamFile: value = BaseOf(context.cameraFile); break;
            case Kind::CamNum: value = CameraNumber(context.cameraFile); break;
            case Kind::Job: value = context.job; break;
        }
        const bool text = piece.kind == Kind::Text;
        const std::string who = text ? std::string(kOwnText) : piece.token;
        if (value.find('/') != std::string::npos) {
            why = "in the name template, " + who + " puts a '/' in the file name";
            return false;
        }
        if (HasControlChar(value)) {
            why = "in the name template, " + who + " puts a control character in the file name";
            return false;
        }
        // A token given as a whole folder name; the template's own dots are only part of a name.
        if (!text && (value == "." || value == "..")) {
            why = "in the name template, " + who + " is \"" + value + "\", which names a folder";
            return false;
        }
        (afterNumber ? pattern.suffix : pattern.prefix) += value;
        if (!afterNumber) lastIsText = text ? true : value.empty() ? lastIsText : false;
        if (!value.empty()) {
            if (!pattern.parts.empty() && text && pattern.parts.back().first == who)
                pattern.parts.back().second += value.size();
            else pattern.parts.emplace_back(who, value.size());
        }
    }
    pattern.anySeparator = pattern.anySeparator && !pattern.prefix.empty();
    return true;
}
