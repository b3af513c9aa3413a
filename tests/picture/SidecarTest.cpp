// Ratings in XMP sidecars: a new sidecar, one another program wrote (everything else in it
// kept), a folder that cannot be written (nothing changes, the reason given) and a RAW+JPEG
// pair (both sidecars, or neither); planted sidecars (damaged, not XMP, a fifo, a folder, too
// large, another user's links) refused and left as they were; a write that fails part way.
#include "picture/Sidecar.h"
#include "support/TestSupport.h"
#include "support/XmpFixture.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testsupport;

namespace {

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
        {"merge", {"Photo-0001.jpg"}, kDarktableSidecar, 5, "", {"Red", "harbour", "xmp_version"}},
        {"clear", {"Photo-0001.jpg"}, kDarktableSidecar, std::nullopt, "", {"Red", "harbour"}},
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
         kDarktableSidecar,
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
            // Root may write the folder: the temporary in /proc is what fails.
            const std::string start = geteuid() == 0 ? "cannot create a temporary file beside "
                                                       "/proc/Photo-0001.jpg.xmp: "
                                                     : c.error;
            EXPECT_EQ(error.rfind(start, 0), 0u) << error;
            EXPECT_GT(error.size(), start.size());   // and says why
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

TEST(Sidecar, PlantedSidecarsAreRefusedAndLeftAsTheyWere) {
    struct Case {
        const char* name;
        const char* error;   // after the sidecar's path
    };
    const Case cases[] = {
        {"damaged", " does not parse as XMP; it is left as it was"},
        {"riff", " is not an XMP packet; it is left as it was"},
        {"fifo", " is a fifo, not a regular file; it is not read"},
        {"folder", " is a folder, not a regular file; it is not read"},
        {"large", " is larger than 4 MiB; it is not read"},
        {"foreign link", " is a symbolic link another user made; it is not followed"},
        {"foreign new file", " is a symbolic link another user made; it is not followed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir, elsewhere;
        const std::string picture = dir.file("Photo-0001.jpg"), sidecar = picture + ".xmp";
        const std::string name = c.name;
        std::string before;
        if (name == "damaged") before = std::string(kDarktableSidecar).substr(0, 500);
        if (name == "riff") before = std::string("RIFF\x24\0\0\0WEBPVP8 ", 16) + kDarktableSidecar;
        if (!before.empty()) WriteFile(sidecar, before);
        if (name == "fifo") {
            ASSERT_EQ(::mkfifo(sidecar.c_str(), 0600), 0);
        }
        if (name == "folder") {
            ASSERT_EQ(::mkdir(sidecar.c_str(), 0700), 0);
        }
        if (name == "large") {
            WriteFile(sidecar, kDarktableSidecar);
            ASSERT_EQ(::truncate(sidecar.c_str(), 5 << 20), 0);
        }
        const std::string target = elsewhere.file("victim");
        if (name == "foreign link") WriteFile(target, "a picture of someone else's");
        if (name.rfind("foreign", 0) == 0) {
            ASSERT_EQ(::symlink(target.c_str(), sidecar.c_str()), 0);
            if (geteuid() != 0) GTEST_SKIP() << "needs root to give the link to another user";
            ASSERT_EQ(::lchown(sidecar.c_str(), 12345, 12345), 0);
        }
        std::string readError;
        EXPECT_EQ(picture::ReadRating(picture, readError), std::nullopt);
        EXPECT_EQ(readError,
                  (name == "damaged" || name == "riff" || name == "large" ? "Photo-0001.jpg.xmp"
                                                                          : sidecar) +
                      c.error);
        EXPECT_EQ(picture::WriteRating({picture}, 5), readError);
        if (!before.empty()) {
            EXPECT_EQ(ReadFile(sidecar), before);
        }
        if (name == "foreign link") {
            EXPECT_EQ(ReadFile(target), "a picture of someone else's");
        }
        if (name == "foreign new file") {
            EXPECT_FALSE(Exists(target));
        }
    }
}

TEST(Sidecar, NamespacesNeedingEscapesAreWrittenBackEscaped) {
    TempDir dir;
    const std::string picture = dir.file("Photo-0001.jpg");
    WriteFile(picture + ".xmp", R"(<x:xmpmeta xmlns:x="adobe:ns:meta/">
 <rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">
  <rdf:Description rdf:about="" xmlns:q="http://q.example/?a&amp;b=&lt;c&gt;" q:note="1&amp;2"/>
 </rdf:RDF></x:xmpmeta>)");
    EXPECT_EQ(picture::WriteRating({picture}, 3), "");
    std::string error;
    EXPECT_EQ(picture::ReadRating(picture, error), 3) << error;
    const std::string text = ReadFile(picture + ".xmp");
    EXPECT_NE(text.find(R"(xmlns:q="http://q.example/?a&amp;b=&lt;c&gt;)"), std::string::npos)
        << text;
    EXPECT_NE(text.find(R"(q:note="1&amp;2")"), std::string::npos) << text;
}

// A write that fails part way (the file size limit stands in for a full disk or a kill between
// the writes): the old sidecar stays whole, the reason is given, no temporary is left, neither
// its own nor one a killed writer left.
TEST(Sidecar, AFailedWriteLeavesTheOldSidecar) {
    TempDir dir;
    const std::string picture = dir.file("Photo-0001.jpg"), sidecar = picture + ".xmp";
    WriteFile(sidecar, kDarktableSidecar);
    // And what a writer killed before its rename left goes.
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    WriteFile(dir.file(".kestrel-save-" + std::to_string(ended) + "-0123456789abcdef.tmp"), "<x:");
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 256;
    auto* oldSignal = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string error = picture::WriteRating({picture}, 5);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldSignal);
    EXPECT_EQ(error, "cannot write " + sidecar + ": File too large");
    EXPECT_EQ(ReadFile(sidecar), kDarktableSidecar);
    EXPECT_EQ(picture::ReadRating(picture), 2);
    std::vector<std::string> names;
    if (DIR* listing = ::opendir(dir.path().c_str())) {
        while (const dirent* entry = ::readdir(listing))
            if (entry->d_name[0] != '.' || std::string(entry->d_name).size() > 2)
                names.push_back(entry->d_name);
        ::closedir(listing);
    }
    EXPECT_EQ(names, std::vector<std::string>{"Photo-0001.jpg.xmp"});
}

}   // namespace
