#include "picture/Sidecar.h"

#include "picture/ExivInit.h"
#include "picture/PictureList.h"
#include "sdk/SettingsFile.h"

#include <exiv2/exiv2.hpp>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <utility>

// libexiv2 0.27 hands its objects over in std::auto_ptr.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace picture {

namespace {
// The XMP toolkit inside libexiv2 keeps global state: every thread's XMP work goes through
// this lock, which libexiv2 takes and gives back itself.
std::mutex gXmpLock;
void lockXmp(void* data, bool lock) {
    auto* mutex = static_cast<std::mutex*>(data);
    if (lock) mutex->lock();
    else mutex->unlock();
}
}   // namespace

void EnsureExivReady() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::XmpParser::initialize(&lockXmp, &gXmpLock);
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    });
}

namespace {

const char* const kRatingKey = "Xmp.xmp.Rating";
const char* const kLabelKey = "Xmp.xmp.Label";
const char* const kSubjectKey = "Xmp.dc.subject";
const char* const kRdfNamespace = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
// How long a writer waits for another one rating pictures of the same folder.
constexpr int kLockWaitMs = 2000;

std::string fileNameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Why path (or its folder, when it does not exist) cannot be written; empty when it can.
std::string unwritable(const std::string& path) {
    std::error_code error;
    const bool exists = std::filesystem::exists(std::filesystem::symlink_status(path, error));
    std::string target = path;
    if (!exists) {
        target = std::filesystem::path(path).parent_path().string();
        if (target.empty()) target = ".";
    }
    if (::access(target.c_str(), W_OK) == 0) return {};
    return "cannot write " + fileNameOf(path) + ": " + std::strerror(errno);
}

bool isBlank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// text as an XMP packet: XML holding RDF, whatever libexiv2 would guess from other bytes.
bool parsePacket(const std::string& text, Exiv2::XmpData& xmp, const std::string& name,
                 std::string& error) {
    const std::size_t bom = text.compare(0, 3, "\xef\xbb\xbf") == 0 ? 3 : 0;
    const std::size_t start = text.find_first_not_of(" \t\r\n", bom);
    if (start == std::string::npos || text[start] != '<' ||
        text.find(kRdfNamespace) == std::string::npos) {
        error = name + " is not an XMP packet; it is left as it was";
        return false;
    }
    try {
        if (Exiv2::XmpParser::decode(xmp, text) == 0) return true;
    } catch (...) {}
    error = name + " does not parse as XMP; it is left as it was";
    return false;
}

std::string escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

// The XMP toolkit writes namespace names as they are: those holding '&', '<', '>' or '"' are
// escaped here (each is known by its prefix, so its end is never guessed).
void escapeNamespaces(std::string& packet) {
    for (std::size_t at = packet.find("xmlns:"); at != std::string::npos;
         at = packet.find("xmlns:", at + 1)) {
        const std::size_t equals = packet.find("=\"", at);
        if (equals == std::string::npos) return;
        const std::string prefix = packet.substr(at + 6, equals - at - 6);
        std::string uri;
        try {
            uri = Exiv2::XmpProperties::ns(prefix);
        } catch (...) {
            continue;
        }
        const std::size_t value = equals + 2;
        if (packet.compare(value, uri.size() + 1, uri + "\"") != 0) continue;
        packet.replace(value, uri.size(), escaped(uri));
    }
}

std::vector<std::pair<std::string, std::string>> entries(const Exiv2::XmpData& xmp) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& datum : xmp) out.emplace_back(datum.key(), datum.toString());
    std::sort(out.begin(), out.end());
    return out;
}

// The sidecar text for xmp (packet wrapper, compact RDF, as libexiv2 writes sidecars); false
// when that text would not read back as the same properties.
bool encodePacket(const Exiv2::XmpData& xmp, std::string& text) {
    std::string body;
    if (Exiv2::XmpParser::encode(
            body, xmp, Exiv2::XmpParser::omitPacketWrapper | Exiv2::XmpParser::useCompactFormat) !=
        0)
        return false;
    escapeNamespaces(body);
    text = "<?xpacket begin=\"\xef\xbb\xbf\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n" + body +
           "<?xpacket end=\"w\"?>\n";
    Exiv2::XmpData back;
    return Exiv2::XmpParser::decode(back, text) == 0 && entries(back) == entries(xmp);
}

// A sidecar as found: none, or its bytes and their XMP.
struct Sidecar {
    std::string path;
    bool exists = false;
    std::string text;
    Exiv2::XmpData xmp;
    std::string replacement;   // empty: the sidecar is removed
};

// False with the reason when the sidecar is refused: not a regular file, a link another user
// made, too large, not an XMP packet or not parsed.
bool readSidecar(const std::string& path, Sidecar& out, std::string& error) {
    out.path = path;
    std::string reason;
    if (!sdk::ReadSettingsFile(path, kMaxSidecarBytes + 1, out.text, reason)) {
        error = reason;
        return reason.empty();   // no sidecar yet
    }
    out.exists = true;
    if (out.text.size() > kMaxSidecarBytes) {
        error = fileNameOf(path) + " is larger than " + std::to_string(kMaxSidecarBytes >> 20) +
                " MiB; it is not read";
        return false;
    }
    // Blank: cut to nothing by an older writer, nothing to keep.
    return isBlank(out.text) || parsePacket(out.text, out.xmp, fileNameOf(path), error);
}

std::optional<int> ratingIn(const Exiv2::XmpData& xmp) {
    const auto at = xmp.findKey(Exiv2::XmpKey(kRatingKey));
    if (at == xmp.end()) return std::nullopt;
    return static_cast<int>(at->toLong());
}

// Puts back what the sidecars written so far held.
void restore(const std::vector<Sidecar>& sidecars, std::size_t count) {
    std::string ignored;
    for (std::size_t i = 0; i < count; ++i) {
        if (sidecars[i].exists)
            sdk::ReplaceSettingsFile(sidecars[i].path, sidecars[i].text, ignored);
        else ::unlink(sidecars[i].path.c_str());
    }
}

// Applies change to the XMP of every picture's sidecar (see WriteRating for the rules).
template <class Change>
std::string writeSidecars(const std::vector<std::string>& pictures, const Change& change) {
    EnsureExivReady();
    std::vector<std::string> folders;
    for (const std::string& picture : pictures) folders.push_back(folderOf(picture));
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    // Folders are locked in one order, so two writers of pairs cannot wait for each other.
    std::vector<std::unique_ptr<sdk::FolderLock>> locks;
    std::string error;
    for (const std::string& folder : folders) {
        locks.push_back(std::make_unique<sdk::FolderLock>());
        if (!locks.back()->Lock(folder, kLockWaitMs, error)) return error;
        // What writers killed part way left here (only temporaries of ended processes).
        sdk::RemoveSettingsLeftovers(folder);
    }
    std::vector<Sidecar> sidecars(pictures.size());
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        Sidecar& s = sidecars[i];
        const std::string path = SidecarFor(pictures[i]);
        if (!readSidecar(path, s, error)) return error;
        if (std::string why = unwritable(path); !why.empty()) return why;
        change(s.xmp);
        // Nothing left to keep: the sidecar goes (an XMP packet is never empty).
        if (!s.xmp.empty() && !encodePacket(s.xmp, s.replacement))
            return fileNameOf(path) +
                   " cannot be written back as it was read; it is left as it was";
    }
    for (std::size_t i = 0; i < sidecars.size(); ++i) {
        const Sidecar& s = sidecars[i];
        bool done = true;
        if (!s.replacement.empty()) done = sdk::ReplaceSettingsFile(s.path, s.replacement, error);
        else if (s.exists && ::unlink(s.path.c_str()) != 0 && errno != ENOENT) {
            error = "cannot remove " + fileNameOf(s.path) + ": " + std::strerror(errno);
            done = false;
        }
        if (!done) {
            restore(sidecars, i);
            return error;
        }
    }
    return {};
}

std::string writeRating(const std::vector<std::string>& pictures, std::optional<int> rating) {
    return writeSidecars(pictures, [&](Exiv2::XmpData& xmp) {
        const auto at = xmp.findKey(Exiv2::XmpKey(kRatingKey));
        if (at != xmp.end()) xmp.erase(at);
        if (rating) xmp[kRatingKey] = static_cast<long>(*rating);
    });
}

// The label the client's pick sets; another label is left alone when a pick is cleared.
std::string writeClientPick(const std::string& picture, bool picked) {
    return writeSidecars({picture}, [&](Exiv2::XmpData& xmp) {
        const auto at = xmp.findKey(Exiv2::XmpKey(kLabelKey));
        if (picked) xmp[kLabelKey] = std::string(kClientPickLabel);
        else if (at != xmp.end() && at->toString() == kClientPickLabel) xmp.erase(at);
    });
}

std::vector<std::string> keywordsIn(const Exiv2::XmpData& xmp) {
    std::vector<std::string> out;
    const auto at = xmp.findKey(Exiv2::XmpKey(kSubjectKey));
    if (at == xmp.end()) return out;
    const Exiv2::Value& value = at->value();
    for (long i = 0; i < value.count(); ++i) out.push_back(value.toString(i));
    return out;
}

// Adds keyword to the dc:subject bag (made when there is none), each keyword kept once.
std::string writeKeyword(const std::string& picture, const std::string& keyword) {
    return writeSidecars({picture}, [&](Exiv2::XmpData& xmp) {
        std::vector<std::string> keywords = keywordsIn(xmp);
        if (std::find(keywords.begin(), keywords.end(), keyword) != keywords.end()) return;
        keywords.push_back(keyword);
        const auto at = xmp.findKey(Exiv2::XmpKey(kSubjectKey));
        if (at != xmp.end()) xmp.erase(at);
        Exiv2::XmpArrayValue bag(Exiv2::xmpBag);
        for (const std::string& k : keywords) bag.read(k);
        xmp.add(Exiv2::XmpKey(kSubjectKey), &bag);
    });
}

}   // namespace

std::string WriteSeriesKeyword(const std::string& picturePath, const std::string& keyword) {
    if (keyword.empty() || isBlank(keyword)) return "the keyword is empty";
    try {
        return writeKeyword(picturePath, keyword);
    } catch (const std::exception& e) {
        return std::string("cannot write the sidecar: ") + e.what();
    } catch (...) {
        return "cannot write the sidecar";
    }
}

std::vector<std::string> ReadKeywords(const std::string& picturePath, std::string& error) {
    error.clear();
    try {
        EnsureExivReady();
        Sidecar sidecar;
        if (!readSidecar(SidecarFor(picturePath), sidecar, error)) return {};
        return keywordsIn(sidecar.xmp);
    } catch (const std::exception& e) {
        error = fileNameOf(SidecarFor(picturePath)) + " cannot be read: " + e.what();
    } catch (...) {
        error = fileNameOf(SidecarFor(picturePath)) + " cannot be read";
    }
    return {};
}

std::vector<std::string> ReadKeywords(const std::string& picturePath) {
    std::string ignored;
    return ReadKeywords(picturePath, ignored);
}

bool ReadClientPick(const std::string& picturePath) {
    std::string ignored;
    return ReadMarks(picturePath, ignored).clientPick;
}

std::string WriteClientPick(const std::string& picturePath, bool picked) {
    try {
        return writeClientPick(picturePath, picked);
    } catch (const std::exception& e) {
        return std::string("cannot write the sidecar: ") + e.what();
    } catch (...) {
        return "cannot write the sidecar";
    }
}

SidecarMarks ReadMarks(const std::string& picturePath, std::string& error) {
    error.clear();
    SidecarMarks marks;
    try {
        EnsureExivReady();
        Sidecar sidecar;
        if (!readSidecar(SidecarFor(picturePath), sidecar, error)) return marks;
        marks.rating = ratingIn(sidecar.xmp);
        const auto label = sidecar.xmp.findKey(Exiv2::XmpKey(kLabelKey));
        marks.clientPick = label != sidecar.xmp.end() && label->toString() == kClientPickLabel;
    } catch (const std::exception& e) {
        error = fileNameOf(SidecarFor(picturePath)) + " cannot be read: " + e.what();
        marks = {};
    } catch (...) {
        error = fileNameOf(SidecarFor(picturePath)) + " cannot be read";
        marks = {};
    }
    return marks;
}

std::optional<int> ReadRating(const std::string& picturePath, std::string& error) {
    return ReadMarks(picturePath, error).rating;
}

std::optional<int> ReadRating(const std::string& picturePath) {
    std::string ignored;
    return ReadRating(picturePath, ignored);
}

SidecarMarks PictureMarks(const std::string& picturePath) {
    struct stat picture {
    }, sidecar{};
    if (::stat(picturePath.c_str(), &picture) == 0 &&
        ::stat(SidecarFor(picturePath).c_str(), &sidecar) == 0 &&
        sidecar.st_mtime + kStaleSidecarSeconds < picture.st_mtime)
        return {};
    std::string ignored;
    return ReadMarks(picturePath, ignored);
}

std::optional<int> PictureRating(const std::string& picturePath) {
    return PictureMarks(picturePath).rating;
}

std::string WriteRating(const std::vector<std::string>& pictures, std::optional<int> rating) {
    try {
        return writeRating(pictures, rating);
    } catch (const std::exception& e) {
        return std::string("cannot write the sidecars: ") + e.what();
    } catch (...) {
        return "cannot write the sidecars";
    }
}

}   // namespace picture
