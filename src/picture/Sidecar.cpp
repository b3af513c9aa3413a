#include "picture/Sidecar.h"

#include "picture/ExivInit.h"
#include "picture/PictureList.h"

#include <exiv2/exiv2.hpp>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

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

std::string fileNameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// Why path (or its folder, when it does not exist) cannot be written; empty when it can.
std::string unwritable(const std::string& path) {
    std::error_code error;
    const bool exists = std::filesystem::exists(path, error);
    std::string target = path;
    if (!exists) {
        target = std::filesystem::path(path).parent_path().string();
        if (target.empty()) target = ".";
    }
    if (::access(target.c_str(), W_OK) == 0) return {};
    return "cannot write " + fileNameOf(path) + ": " + std::strerror(errno);
}

struct Saved {
    std::string path;
    bool existed = false;
    std::string contents;
};

void restore(const Saved& saved) {
    if (!saved.existed) {
        std::remove(saved.path.c_str());
        return;
    }
    std::ofstream out(saved.path, std::ios::binary | std::ios::trunc);
    out << saved.contents;
}

void writeOne(const std::string& sidecar, bool exists, std::optional<int> rating) {
    Exiv2::Image::AutoPtr image = exists
                                      ? Exiv2::ImageFactory::open(sidecar)
                                      : Exiv2::ImageFactory::create(Exiv2::ImageType::xmp, sidecar);
    if (exists) image->readMetadata();
    Exiv2::XmpData xmp = image->xmpData();
    const auto at = xmp.findKey(Exiv2::XmpKey(kRatingKey));
    if (at != xmp.end()) xmp.erase(at);
    if (rating) xmp[kRatingKey] = static_cast<long>(*rating);
    if (xmp.empty()) {
        // Nothing left to keep: libexiv2 writes no empty packet, so the sidecar goes.
        if (exists && std::remove(sidecar.c_str()) != 0)
            throw Exiv2::Error(Exiv2::kerCallFailed, sidecar, std::strerror(errno), "remove");
        return;
    }
    image->setXmpData(xmp);
    // Reading a sidecar also fills EXIF and IPTC from its XMP, and writing copies them back
    // over it (a removed rating would return): the XMP alone is written.
    image->clearExifData();
    image->clearIptcData();
    image->writeMetadata();
}

}   // namespace

std::optional<int> ReadRating(const std::string& picturePath) {
    const std::string sidecar = SidecarPath(picturePath);
    std::error_code error;
    if (!std::filesystem::is_regular_file(sidecar, error)) return std::nullopt;
    try {
        EnsureExivReady();
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(sidecar);
        image->readMetadata();
        const Exiv2::XmpData& xmp = image->xmpData();
        const auto at = xmp.findKey(Exiv2::XmpKey(kRatingKey));
        if (at == xmp.end()) return std::nullopt;
        return static_cast<int>(at->toLong());
    } catch (const Exiv2::AnyError&) {
        return std::nullopt;
    }
}

std::string WriteRating(const std::vector<std::string>& pictures, std::optional<int> rating) {
    std::vector<Saved> saved;
    for (const std::string& picture : pictures) {
        Saved s;
        s.path = SidecarPath(picture);
        if (std::string why = unwritable(s.path); !why.empty()) return why;
        std::error_code error;
        s.existed = std::filesystem::exists(s.path, error);
        if (s.existed) {
            std::ifstream in(s.path, std::ios::binary);
            if (!in) return "cannot read " + fileNameOf(s.path);
            s.contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        saved.push_back(std::move(s));
    }
    EnsureExivReady();
    for (std::size_t i = 0; i < saved.size(); ++i) {
        try {
            writeOne(saved[i].path, saved[i].existed, rating);
        } catch (const Exiv2::AnyError& e) {
            for (std::size_t j = 0; j <= i; ++j) restore(saved[j]);
            return "cannot write " + fileNameOf(saved[i].path) + ": " + e.what();
        }
    }
    return {};
}

}   // namespace picture
