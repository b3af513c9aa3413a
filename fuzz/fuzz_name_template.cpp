// The name template: the first line is the template, the next ones the capture name, camera,
// series, camera file and job text. A template that renders gives a name without '/' or control
// characters whose number reads back as it was written, and that the template, read backwards,
// could have made.
#include "document/CaptureNaming.h"
#include "document/NameTemplate.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < size && lines.size() < 7; ++i) {
        if (data[i] == '\n') lines.emplace_back();
        else lines.back() += static_cast<char>(data[i]);
    }
    lines.resize(6);
    const NameTemplate nameTemplate(lines[0]);
    NameContext context;
    context.name = lines[1];
    context.camera = lines[2];
    context.series = lines[3];
    context.cameraFile = lines[4];
    context.job = lines[5];
    context.when.tm_year = static_cast<int>(size % 300);
    context.when.tm_mday = static_cast<int>(size % 31) + 1;
    NamePattern pattern;
    std::string why;
    if (!nameTemplate.Render(context, pattern, why)) {
        if (why.empty()) std::abort();
        return 0;
    }
    for (const std::uint32_t number : {0u, 7u, 4294967295u}) {
        const std::string name = CaptureNaming::Format("", pattern, number, "jpg");
        if (name.find('/') != std::string::npos || CaptureNaming::HasControl(name)) std::abort();
        const auto read = CaptureNaming::NumberOf(name, pattern, "jpg");
        if (!read || *read != number) std::abort();
        const std::string stem = name.substr(0, name.size() - 4);
        if (stem.size() <= 255 && !nameTemplate.NumberIn(stem, context.name, context.job))
            std::abort();
    }
    return 0;
}
