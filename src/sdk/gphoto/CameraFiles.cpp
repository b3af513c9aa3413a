// Camera file names, release file counts and property-change texts.
#include "sdk/gphoto/CameraFiles.h"

#include <cctype>

namespace gphoto {

namespace {

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The text between the first pair of double quotes at or after from; npos when none.
std::size_t quoted(const std::string& text, std::size_t from, std::string& inside) {
    const std::size_t open = text.find('"', from);
    if (open == std::string::npos) return std::string::npos;
    const std::size_t close = text.find('"', open + 1);
    if (close == std::string::npos) return std::string::npos;
    inside = text.substr(open + 1, close - open - 1);
    return close + 1;
}

}   // namespace

std::string BaseName(const std::string& cameraName) {
    const std::size_t slash = cameraName.rfind('/');
    const std::string name = slash == std::string::npos ? cameraName : cameraName.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::size_t FilesPerRelease(const std::string& formatText) {
    const std::string f = lower(formatText);
    if (!sdk::NamesRaw(f)) return 1;
    // A JPEG beside the raw file: joined with '+', or named by its size or compression.
    for (const char* jpeg : {"+", "jpeg", "jpg", "large", "medium", "small", "fine", "normal"})
        if (f.find(jpeg) != std::string::npos) return 2;
    return 1;
}

bool ChangedWidget(const std::string& eventText, std::string& widget, std::string& value) {
    const std::size_t after = quoted(eventText, 0, widget);
    if (after == std::string::npos || widget.empty()) return false;
    value.clear();
    const std::size_t to = eventText.find(" to ", after);
    if (to != std::string::npos && quoted(eventText, to, value) == std::string::npos)
        value = eventText.substr(to + 4);
    return true;
}

}   // namespace gphoto
