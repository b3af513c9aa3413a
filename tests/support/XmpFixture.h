// Sidecars as other programs leave them, for the tests of ratings and keywords: darktable's with
// a label and keywords of its own, one it rewrites in place with a new rating; and the exiv2
// tool's own reading of a sidecar.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

namespace testsupport {

// What darktable leaves: a rating, a colour label, keywords of its own (one with a comma) and a
// namespace of its own.
inline constexpr const char* kDarktableSidecar =
    R"(<?xpacket begin="" id="W5M0MpCehiHzreSzNTczkc9d"?>
<x:xmpmeta xmlns:x="adobe:ns:meta/" x:xmptk="XMP Core 4.4.0-Exiv2">
 <rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">
  <rdf:Description rdf:about=""
    xmlns:xmp="http://ns.adobe.com/xap/1.0/"
    xmlns:darktable="http://darktable.sf.net/"
    xmp:Rating="2"
    xmp:Label="Red"
    darktable:xmp_version="5">
   <dc:subject xmlns:dc="http://purl.org/dc/elements/1.1/">
    <rdf:Bag>
     <rdf:li>harbour</rdf:li>
     <rdf:li>boats, at dusk</rdf:li>
    </rdf:Bag>
   </dc:subject>
  </rdf:Description>
 </rdf:RDF>
</x:xmpmeta>
<?xpacket end="w"?>)";

// A sidecar as darktable writes it (and digiKam, but for its name), rewritten in place (the same
// file, truncated); no rating for none.
inline void WriteDarktableRating(const std::string& path, std::optional<int> rating) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\" x:xmptk=\"XMP Core 4.4.0-Exiv2\">\n"
           " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
           "  <rdf:Description rdf:about=\"\"\n"
           "    xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\"\n"
           "    xmlns:darktable=\"http://darktable.sf.net/\"\n"
        << (rating ? "   xmp:Rating=\"" + std::to_string(*rating) + "\"\n" : std::string())
        << "   darktable:xmp_version=\"5\"/>\n"
           " </rdf:RDF>\n"
           "</x:xmpmeta>\n";
}

// The exiv2 tool's own reading of a sidecar's XMP ("exiv2 -px"), its stderr dropped; empty when
// the tool cannot be run.
inline std::string Exiv2ToolReading(const std::string& sidecar) {
    std::string out;
    FILE* pipe = ::popen(("exiv2 -px '" + sidecar + "' 2>/dev/null").c_str(), "r");
    if (!pipe) return out;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    ::pclose(pipe);
    return out;
}

inline bool HaveExiv2Tool() { return std::system("exiv2 --version >/dev/null 2>&1") == 0; }

}   // namespace testsupport
