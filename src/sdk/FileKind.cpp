// Camera file kinds and saved extensions.
#include "sdk/FileKind.h"

#include <algorithm>
#include <cctype>

namespace sdk {

namespace {

constexpr std::string_view kRawExtensions[] = {"cr2", "cr3", "crw", "nef", "nrw",
                                               "arw", "srf", "sr2", "raf", "dng",
                                               "orf", "rw2", "pef", "srw", "raw"};

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string extensionOf(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    const std::size_t slash = name.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    return lower(name.substr(dot + 1));
}

bool safeExtension(const std::string& ext) {
    return !ext.empty() && ext.size() <= 5 &&
           std::all_of(ext.begin(), ext.end(),
                       [](unsigned char c) { return std::isalnum(c) != 0; });
}

}   // namespace

FileKind FileKindOf(std::string_view cameraName) {
    const std::string ext = extensionOf(cameraName);
    if (ext == "jpg" || ext == "jpeg" || ext == "jpe") return FileKind::Jpeg;
    const bool raw = std::find(std::begin(kRawExtensions), std::end(kRawExtensions), ext) !=
                     std::end(kRawExtensions);
    return raw ? FileKind::Raw : FileKind::Other;
}

std::string SavedExtension(std::string_view cameraName, std::string_view mimeType) {
    if (FileKindOf(cameraName) == FileKind::Jpeg) return "jpg";
    const std::string ext = extensionOf(cameraName);
    if (ext.empty() && lower(mimeType) == "image/jpeg") return "jpg";
    return safeExtension(ext) ? ext : "raw";
}

bool NamesRaw(std::string_view formatText) {
    const std::string f = lower(formatText);
    return std::any_of(std::begin(kRawExtensions), std::end(kRawExtensions),
                       [&f](std::string_view ext) { return f.find(ext) != std::string::npos; });
}

std::string PrintableName(std::string_view text, std::size_t limit) {
    std::string out(text.substr(0, limit));
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return out;
}

}   // namespace sdk
