// The client view's folder feed tells open pages to list afresh when the published name template
// or job changes, as it does for another folder: other files become the session's pictures.
#include "client/FolderFeed.h"
#include "client/ServedPictures.h"
#include "document/NamingFile.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using testsupport::WriteFile;

NamingSettings naming(const std::string& nameTemplate, const std::string& job) {
    NamingSettings settings;
    settings.nameTemplate = nameTemplate;
    settings.job = job;
    return settings;
}

std::set<std::uint32_t> numbersIn(const std::string& folder) {
    std::set<std::uint32_t> numbers;
    for (const client::ServedPicture& p : client::ServedPictures::List(folder, "Photo"))
        numbers.insert(p.number);
    return numbers;
}

// Events after `after` until one named `name` comes (or 10 s pass); its sequence, or 0.
std::uint64_t waitFor(client::FolderFeed& feed, std::uint64_t after, const std::string& name) {
    for (int i = 0; i < 100; ++i)
        for (const client::FeedEvent& event : feed.Next(after, std::chrono::milliseconds(100))) {
            if (event.name == name) return event.sequence;
            after = event.sequence;
        }
    return 0;
}

}   // namespace

TEST(FolderFeedTest, ATemplateOrJobChangeTellsPagesToReload) {
    testsupport::TempDir dir;
    WriteFile(dir.file("Smith_000.jpg"), "a");
    WriteFile(dir.file("Smith-03.jpg"), "b");
    WriteFile(dir.file("Jones-07.jpg"), "c");
    PublishNaming(naming("{job}_{number:3}", "Smith"));
    client::FolderFeed feed([&] { return std::make_pair(dir.folder(), std::string("Photo")); });
    feed.Start();
    // Once the feed follows the folder, a new picture of the template is announced.
    std::uint64_t last = 0;
    for (int i = 1; i < 100 && last == 0; ++i) {
        WriteFile(
            dir.file("Smith_" + std::string(i < 10 ? "00" : "0") + std::to_string(i) + ".jpg"),
            "d");
        for (const client::FeedEvent& event : feed.Next(0, std::chrono::milliseconds(100)))
            if (event.name == "picture") last = event.sequence;
    }
    ASSERT_NE(last, 0u);
    const std::uint64_t settled = feed.Last();

    // Another template, then another job: each a reload, and the list is the new naming's.
    PublishNaming(naming("{job}-{number:2}", "Smith"));
    last = waitFor(feed, settled, "reload");
    ASSERT_NE(last, 0u);
    EXPECT_EQ(numbersIn(dir.folder()), (std::set<std::uint32_t>{3}));
    PublishNaming(naming("{job}-{number:2}", "Jones"));
    last = waitFor(feed, last, "reload");
    ASSERT_NE(last, 0u);
    EXPECT_EQ(numbersIn(dir.folder()), (std::set<std::uint32_t>{7}));
    // The same naming again is no change: nothing more is told within a look.
    PublishNaming(naming("{job}-{number:2}", "Jones"));
    EXPECT_TRUE(feed.Next(last, std::chrono::milliseconds(600)).empty());
    feed.Stop();
    PublishNaming(NamingSettings{});
}
