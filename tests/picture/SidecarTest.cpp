// Ratings in XMP sidecars: a new sidecar, one another program wrote (everything else in it
// kept), a folder that cannot be written (nothing changes, the reason given) and a RAW+JPEG
// pair (both sidecars, or neither).
#include "picture/Sidecar.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;

namespace {

// As darktable leaves it: its own namespace, a label and keywords beside the rating.
const char* const kForeign = R"(<?xpacket begin="" id="W5M0MpCehiHzreSzNTczkc9d"?>
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
    </rdf:Bag>
   </dc:subject>
  </rdf:Description>
 </rdf:RDF>
</x:xmpmeta>
<?xpacket end="w"?>)";

TEST(Sidecar, RatingsAreWrittenBesideThePicturesOrNotAtAll) {
    struct Case {
        const char* name;
        std::vector<const char*> pictures;
        const char* existing;   // the first picture's sidecar before, or null
        std::optional<int> rating;
        const char* error;               // the start of the reason, empty when it works
        std::vector<const char*> kept;   // text the first sidecar still holds
    };
    const Case cases[] = {
        {"new", {"Photo-0001.jpg"}, nullptr, 4, "", {}},
        {"reject", {"Photo-0001.jpg"}, nullptr, picture::kReject, "", {}},
        {"merge", {"Photo-0001.jpg"}, kForeign, 5, "", {"Red", "harbour", "xmp_version"}},
        {"clear", {"Photo-0001.jpg"}, kForeign, std::nullopt, "", {"Red", "harbour"}},
        {"clear the last property",
         {"Photo-0001.jpg"},
         R"(<x:xmpmeta xmlns:x="adobe:ns:meta/">
 <rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">
  <rdf:Description rdf:about="" xmlns:xmp="http://ns.adobe.com/xap/1.0/" xmp:Rating="4"/>
 </rdf:RDF></x:xmpmeta>)",
         std::nullopt,
         "",
         {}},
        {"pair", {"Photo-0001.crw", "Photo-0001.jpg"}, nullptr, 3, "", {}},
        {"read-only folder",
         {"Photo-0001.jpg"},
         nullptr,
         1,
         "cannot write Photo-0001.jpg.xmp: ",
         {}},
        {"pair, second read-only",
         {"Photo-0001.crw", "Photo-0001.jpg"},
         kForeign,
         1,
         "cannot write Photo-0001.jpg.xmp: ",
         {"xmp:Rating=\"2\""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::string folder = dir.path();
        const bool readOnlyFolder = std::string(c.name) == "read-only folder";
        // Root writes anywhere it may; /proc refuses even root.
        if (readOnlyFolder && geteuid() == 0) folder = "/proc";
        std::vector<std::string> paths;
        for (const char* p : c.pictures) paths.push_back(folder + "/" + p);
        if (c.existing) WriteFile(paths[0] + ".xmp", c.existing);
        if (std::string(c.name) == "pair, second read-only") {
            WriteFile(paths[1] + ".xmp", "held", 0444);
            if (geteuid() == 0) paths[1] = "/proc/Photo-0001.jpg";   // unwritable for root too
        }
        if (readOnlyFolder && geteuid() != 0) ::chmod(folder.c_str(), 0555);

        const std::string error = picture::WriteRating(paths, c.rating);
        if (readOnlyFolder && geteuid() != 0) ::chmod(folder.c_str(), 0755);

        if (*c.error) {
            EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
            EXPECT_GT(error.size(), std::string(c.error).size());   // and says why
            // Nothing changed: no new sidecar, an existing one as it was.
            if (c.existing) EXPECT_EQ(ReadFile(paths[0] + ".xmp"), c.existing);
            else EXPECT_FALSE(Exists(paths[0] + ".xmp"));
        } else {
            EXPECT_EQ(error, "");
            for (const std::string& p : paths) EXPECT_EQ(picture::ReadRating(p), c.rating) << p;
        }
        const std::string text = Exists(paths[0] + ".xmp") ? ReadFile(paths[0] + ".xmp") : "";
        for (const char* k : c.kept) EXPECT_NE(text.find(k), std::string::npos) << k << text;
    }
}

TEST(Sidecar, NoSidecarOrNoRatingReadsAsNone) {
    TempDir dir;
    EXPECT_EQ(picture::ReadRating(dir.file("Photo-0001.jpg")), std::nullopt);
    WriteFile(dir.file("Photo-0002.jpg.xmp"), "<x:xmpmeta broken");
    EXPECT_EQ(picture::ReadRating(dir.file("Photo-0002.jpg")), std::nullopt);
}

}   // namespace
