// The client view over a folder, for the browser test: serves FOLDER's "Photo" pictures on
// 127.0.0.1:PORT (0: any free port) with KEY after writing COUNT pictures (the first one rated
// three stars) and prints "ready URL". Commands on stdin, one a line, each answered on stdout:
// "capture" saves the next picture ("saved NAME" once it is under its name), "pick N" reads
// picture N's sidecar back ("pick NAME 0|1 rating R|none"). The server's console lines
// ("Client picked Photo-0002.jpg") are printed as they come. End of input ends it.
#include "client/ClientServer.h"
#include "picture/Sidecar.h"
#include "sdk/sim/ImageFile.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>

namespace {

std::mutex out;   // stdout is written by the server's threads too

void say(const std::string& line) {
    const std::lock_guard hold(out);
    std::cout << line << std::flush;
}

std::string nameOf(int n) {
    char name[32];
    std::snprintf(name, sizeof name, "Photo-%04d.jpg", n);
    return name;
}

// A picture with something to tell it by: a sky, a hill and a sun that moves with n.
std::vector<std::uint8_t> scene(int n, int width, int height) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    const double sunX = width * (0.2 + 0.15 * (n % 5)), sunY = height * 0.3;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            const double hill = height * (0.62 + 0.08 * std::sin(x * 0.012 + n));
            const double sun = std::hypot(x - sunX, y - sunY);
            if (sun < height * 0.09) {
                p[0] = 255, p[1] = 214, p[2] = 90;
            } else if (y > hill) {
                p[0] = 40, p[1] = static_cast<std::uint8_t>(110 + 40 * ((n * 37) % 3)), p[2] = 60;
            } else {
                p[0] = static_cast<std::uint8_t>(90 + y * 100 / height);
                p[1] = static_cast<std::uint8_t>(140 + y * 80 / height);
                p[2] = 230;
            }
        }
    return rgb;
}

}   // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: client_serve FOLDER PORT COUNT KEY\n";
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    int next = 1;
    auto capture = [&] {
        const auto rgb = scene(next, 640, 480);
        const auto jpeg = sim::jpegWithThumbnail(rgb.data(), 640, 480, 85);
        const std::string name = nameOf(next++);
        std::ofstream(folder + ".tmp", std::ios::binary)
            .write(reinterpret_cast<const char*>(jpeg.data()),
                   static_cast<std::streamsize>(jpeg.size()));
        std::rename((folder + ".tmp").c_str(), (folder + name).c_str());
        return name;
    };
    for (int i = std::stoi(argv[3]); i > 0; --i) capture();
    if (next > 1) picture::WriteRating({folder + nameOf(1)}, 3);
    client::ClientServer server([&] { return std::pair{folder, std::string("Photo")}; }, say);
    client::ClientViewOptions options;
    options.address = "127.0.0.1";
    options.port = std::stoi(argv[2]);
    options.key = argv[4];
    if (const std::string why = server.Start(options); !why.empty()) {
        std::cerr << why << "\n";
        return 1;
    }
    say("ready " + server.Urls().front() + "\n");
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream words(line);
        std::string command;
        int n = 0;
        words >> command >> n;
        if (command == "capture") {
            say("saved " + capture() + "\n");
        } else if (command == "pick") {
            const std::string path = folder + nameOf(n);
            const auto rating = picture::ReadRating(path);
            say("pick " + nameOf(n) + (picture::ReadClientPick(path) ? " 1" : " 0") + " rating " +
                (rating ? std::to_string(*rating) : "none") + "\n");
        }
    }
    return 0;
}
