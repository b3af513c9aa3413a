// Sessions: the folder name, its creation, the name the title shows.
#include "document/Sessions.h"

#include "document/CaptureNaming.h"
#include "document/NameTemplate.h"

#include <filesystem>
#include <system_error>

namespace sessions {

std::string FolderName(const std::tm& when, const std::string& name) {
    return NameTemplate::FormatTime(when, "yyyy-MM-dd") + " " + name;
}

bool Create(const std::string& root, const std::string& name, const std::tm& when,
            std::string& folder, std::string& error) {
    folder.clear();
    if (name.empty()) {
        error = "the session has no name";
        return false;
    }
    if (root.empty()) {
        error = "no folder for sessions was chosen";
        return false;
    }
    if (CaptureNaming::HasControl(name) || CaptureNaming::HasControl(root)) {
        error = "the session's name or folder holds a control character";
        return false;
    }
    if (!CaptureNaming::IsSafeName(name)) {
        error = "the session's name \"" + name + "\" must not contain '/' or be \".\" or \"..\"";
        return false;
    }
    std::string path = root;
    if (path.back() != '/') path += '/';
    path += FolderName(when, name);
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec || !std::filesystem::is_directory(path, ec)) {
        if (!ec) ec = std::make_error_code(std::errc::not_a_directory);
        error = "cannot create " + path + ": " + ec.message();
        return false;
    }
    folder = path + "/";
    return true;
}

std::string TitleOf(const std::string& folder) {
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}   // namespace sessions
