// config.cfg reader: any bytes load without a fault; what loads saves and reads back the same.
#include "document/ConfigFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = [] {
        char pattern[] = "/tmp/kestrel-fuzz-config-XXXXXX";
        return std::string(::mkdtemp(pattern)) + "/";
    }();
    const std::string path = folder + "config.cfg";
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    std::string dir, name, error;
    if (!config::Load(path, dir, name)) return 0;
    if (config::Save(path, dir, name, error)) {
        std::string dir2, name2;
        if (!config::Load(path, dir2, name2) || dir2 != dir || name2 != name) std::abort();
    }
    return 0;
}
