// Reading and writing config.cfg.
#include "document/ConfigFile.h"

#include "sdk/SettingsFile.h"

namespace config {
namespace {

// Beyond this the file is not a config.cfg of ours; what was read so far is used.
constexpr std::size_t kMaxFileBytes = 1 << 20;

// The next line from pos: up to "\n" or "\r\n" (consumed, not stored) or the end of data.
std::string NextLine(const std::string& data, std::size_t& pos) {
    const std::size_t end = data.find('\n', pos);
    std::string line = data.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? data.size() : end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}   // namespace

bool Load(const std::string& path, std::string& folder, std::string& name, std::string* error) {
    std::string data, reason;
    if (!sdk::ReadSettingsFile(path, kMaxFileBytes, data, reason)) {
        if (error) *error = reason;
        return false;
    }
    std::size_t pos = 0;
    folder = NextLine(data, pos);
    name = NextLine(data, pos);
    return true;
}

bool Save(const std::string& path, const std::string& folder, const std::string& name,
          std::string& error) {
    for (const std::string* value : {&folder, &name}) {
        if (value->find_first_of("\r\n") != std::string::npos) {
            error = std::string("the capture ") + (value == &folder ? "folder" : "name") +
                    " holds a line break; " + path + " is left as it was";
            return false;
        }
    }
    return sdk::ReplaceSettingsFile(path, folder + "\n" + name, error);
}

}   // namespace config
