// For the browser check: serves FOLDER's "Photo" pictures on 127.0.0.1:PORT with KEY, writing
// COUNT pictures first; each line "capture" on stdin adds one more; end of input ends it.
#include "client/ClientServer.h"
#include "sdk/sim/ImageFile.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    const std::string folder = std::string(argv[1]) + "/";
    int next = 1;
    auto capture = [&] {
        std::vector<std::uint8_t> rgb(640 * 480 * 3);
        for (std::size_t i = 0; i < rgb.size(); ++i)
            rgb[i] = static_cast<std::uint8_t>((i / 3 % 640) * next * 3);
        const auto jpeg = sim::jpegWithThumbnail(rgb.data(), 640, 480, 85);
        char name[32];
        std::snprintf(name, sizeof name, "Photo-%04d.jpg", next++);
        std::ofstream(folder + ".tmp", std::ios::binary)
            .write(reinterpret_cast<const char*>(jpeg.data()), jpeg.size());
        std::rename((folder + ".tmp").c_str(), (folder + name).c_str());
    };
    for (int i = std::stoi(argv[3]); i > 0; --i) capture();
    client::ClientServer server(
        [&] {
            return std::pair{folder, std::string("Photo")};
        },
        [](const std::string& line) { std::cout << line << std::flush; });
    client::ClientViewOptions options;
    options.address = "127.0.0.1";
    options.port = std::stoi(argv[2]);
    options.key = argv[4];
    if (const std::string why = server.Start(options); !why.empty()) {
        std::cerr << why << "\n";
        return 1;
    }
    std::cout << "ready\n" << std::flush;
    for (std::string line; std::getline(std::cin, line);)
        if (line == "capture") capture();
    return 0;
}
