// Sidecar read, rate and write back: any bytes in a sidecar give no fault; a sidecar Kestrel
// refuses is left byte for byte as it was; one it rates reads back with that rating, and with
// the rating taken away again reads as none.
#include "picture/Sidecar.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

namespace {
std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = [] {
        char pattern[] = "/tmp/kestrel-fuzz-sidecar-XXXXXX";
        return std::string(::mkdtemp(pattern)) + "/";
    }();
    const std::string picture = folder + "Photo-0001.jpg", sidecar = picture + ".xmp";
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (std::FILE* f = std::fopen(sidecar.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    std::string readError;
    picture::ReadRating(picture, readError);
    const std::string writeError = picture::WriteRating({picture}, 4);
    if (!readError.empty()) {
        if (writeError != readError || contents(sidecar) != bytes) std::abort();
        return 0;
    }
    if (!writeError.empty()) {
        // Refused as not written back faithfully: left as it was.
        if (contents(sidecar) != bytes) std::abort();
        return 0;
    }
    std::string error;
    if (picture::ReadRating(picture, error) != 4 || !error.empty()) std::abort();
    if (!picture::WriteRating({picture}, std::nullopt).empty()) std::abort();
    if (picture::ReadRating(picture, error) != std::nullopt || !error.empty()) std::abort();
    ::unlink(sidecar.c_str());
    return 0;
}
