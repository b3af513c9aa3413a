// Two writers rating one sidecar 50 times each at once: it stays whole, parses, keeps what
// another program wrote and holds one of the ratings; another process waits for the same lock.
#include "picture/Sidecar.h"
#include "sdk/SettingsFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <thread>

using namespace testsupport;

namespace {

TEST(SidecarWriters, TwoWritersLeaveOneWholeSidecar) {
    TempDir dir;
    const std::string picture = dir.file("Photo-0001.jpg");
    WriteFile(picture + ".xmp", R"(<x:xmpmeta xmlns:x="adobe:ns:meta/">
 <rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">
  <rdf:Description rdf:about="" xmlns:xmp="http://ns.adobe.com/xap/1.0/" xmp:Label="Red"/>
 </rdf:RDF></x:xmpmeta>)");
    std::string errors[2];
    auto rate = [&](int rating, std::string& error) {
        for (int i = 0; i < 50 && error.empty(); ++i)
            error = picture::WriteRating({picture}, rating);
    };
    std::thread one(rate, 1, std::ref(errors[0])), five(rate, 5, std::ref(errors[1]));
    one.join();
    five.join();
    EXPECT_EQ(errors[0], "");
    EXPECT_EQ(errors[1], "");
    std::string error;
    const std::optional<int> rating = picture::ReadRating(picture, error);
    EXPECT_EQ(error, "");
    EXPECT_TRUE(rating == 1 || rating == 5) << rating.value_or(0);
    EXPECT_NE(ReadFile(picture + ".xmp").find("Red"), std::string::npos);
}

// Another process's writer waits for the lock, and no longer than it was told to.
TEST(SidecarWriters, AnotherProcessWaitsForTheFolderLock) {
    TempDir dir;
    sdk::FolderLock held;
    std::string error;
    ASSERT_TRUE(held.Lock(dir.folder(), 0, error)) << error;
    const pid_t child = ::fork();
    if (child == 0) {
        sdk::FolderLock other;
        std::string why;
        const bool refused = !other.Lock(dir.folder(), 20, why);
        ::_exit(refused && why == "another writer has kept the files in " + dir.folder() +
                                      " locked for 20 ms; try again"
                    ? 0
                    : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    held.Unlock();
    sdk::FolderLock again;
    EXPECT_TRUE(again.Lock(dir.folder(), 0, error)) << error;
}

}   // namespace
