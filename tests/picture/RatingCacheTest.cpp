// The strip's ratings as the sidecars hold them: a listing reads at most one batch of sidecars
// (the rest come batch by batch, newest first), a poll reads only a sidecar that changed in
// place, and digiKam's "name.xmp" counts when it is the only one; the client's pick comes from the
// same read and a pick set or cleared is a change.
#include "picture/RatingCache.h"
#include "picture/Sidecar.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace {

using picture::RatingCache;
using testsupport::TempDir;

void touch(const std::string& path) { std::ofstream(path) << "picture"; }

// A sidecar as another program writes it, straight to disk.
void sidecar(const std::string& path, int rating) {
    std::ofstream(path)
        << "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
           "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
           "<rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" "
           "xmp:Rating=\""
        << rating << "\"/></rdf:RDF></x:xmpmeta>\n";
}

TEST(RatingCache, ReadsABatchPerListingAndTheRestAfter) {
    TempDir dir;
    const std::size_t count = RatingCache::kReadBatch + 7;
    std::vector<picture::PictureEntry> entries;
    for (std::size_t n = count; n >= 1; --n) {   // newest first, as listed
        const std::string name = "Photo-" + std::to_string(10000 + n) + ".jpg";
        touch(dir.file(name));
        sidecar(dir.file(name) + ".xmp", static_cast<int>(n % 5) + 1);
        entries.push_back({dir.file(name), name, static_cast<std::uint32_t>(n)});
    }
    RatingCache cache;
    const std::vector<RatingCache::Rating> first = cache.Refresh(entries);
    ASSERT_EQ(first.size(), count);
    for (std::size_t i = 0; i < count; ++i)
        EXPECT_EQ(first[i], i < RatingCache::kReadBatch
                                ? std::optional<int>(entries[i].number % 5 + 1)
                                : std::nullopt)
            << i;
    ASSERT_TRUE(cache.pending());
    const std::vector<RatingCache::Change> rest = cache.ReadPending();
    EXPECT_FALSE(cache.pending());
    ASSERT_EQ(rest.size(), 7u);
    EXPECT_EQ(rest.front().first, entries[RatingCache::kReadBatch].path);
    // Listed again, nothing changed: every rating at once, nothing left to read.
    EXPECT_EQ(cache.Refresh(entries)[count - 1], std::optional<int>(entries.back().number % 5 + 1));
    EXPECT_FALSE(cache.pending());
    EXPECT_TRUE(cache.Poll().empty());
}

TEST(RatingCache, APollSeesAnInPlaceChangeAndDigikamsSidecar) {
    TempDir dir;
    const std::string dark = dir.file("Photo-0001.jpg"), kam = dir.file("Photo-0002.crw");
    touch(dark);
    touch(kam);
    ASSERT_EQ(picture::WriteRating({dark}, 2), "");
    sidecar(dir.file("Photo-0002.xmp"), 5);
    RatingCache cache;
    const auto ratings = cache.Refresh({{kam, "Photo-0002.crw", 2}, {dark, "Photo-0001.jpg", 1}});
    EXPECT_EQ(ratings, (std::vector<RatingCache::Rating>{5, 2}));
    EXPECT_EQ(picture::SidecarFor(kam), dir.file("Photo-0002.xmp"));
    ASSERT_EQ(picture::WriteRating({dark}, picture::kReject), "");
    ASSERT_EQ(picture::WriteRating({kam}, std::nullopt), "");   // digiKam's sidecar, emptied
    const auto changes = cache.Poll();
    EXPECT_EQ(changes.size(), 2u);
    for (const auto& [path, rating] : changes)
        EXPECT_EQ(rating, path == dark ? std::optional<int>(picture::kReject) : std::nullopt);
    EXPECT_FALSE(testsupport::Exists(kam + ".xmp"));
    EXPECT_TRUE(cache.Poll().empty());
}

// Each cache's picks, for the strip's hearts: read with the rating (no sidecar read twice), a
// pick set or cleared in place found by a poll as a change of its own, a rating written by the
// photographer keeping the pick, a picture no longer listed forgotten.
TEST(RatingCache, ThePickIsReadWithTheRatingAndAMovedPickIsAChange) {
    TempDir dir;
    const std::string rated = dir.file("Photo-0001.jpg"), picked = dir.file("Photo-0002.jpg"),
                      plain = dir.file("Photo-0003.jpg");
    for (const auto& p : {rated, picked, plain}) touch(p);
    ASSERT_EQ(picture::WriteRating({rated, picked}, 4), "");
    ASSERT_EQ(picture::WriteClientPick(picked, true), "");
    std::string error;
    EXPECT_EQ(picture::ReadMarks(picked, error), (picture::SidecarMarks{4, true}));
    EXPECT_EQ(error, "");
    picture::ClientPicks picks;
    const std::vector<picture::PictureEntry> entries = {
        {plain, "Photo-0003.jpg", 3}, {picked, "Photo-0002.jpg", 2}, {rated, "Photo-0001.jpg", 1}};
    {
        RatingCache cache(picks);
        EXPECT_EQ(cache.Refresh(entries), (std::vector<RatingCache::Rating>{std::nullopt, 4, 4}));
        EXPECT_TRUE(picks.Picked(picked));
        EXPECT_FALSE(picks.Picked(rated));
        EXPECT_FALSE(picks.Picked(plain));
        EXPECT_TRUE(cache.Poll().empty());

        // The client clears one pick and picks a rated picture: both are changes, ratings kept.
        ASSERT_EQ(picture::WriteClientPick(picked, false), "");
        ASSERT_EQ(picture::WriteClientPick(rated, true), "");
        auto changes = cache.Poll();
        std::sort(changes.begin(), changes.end());
        EXPECT_EQ(changes, (std::vector<RatingCache::Change>{{rated, 4}, {picked, 4}}));
        EXPECT_TRUE(picks.Picked(rated));
        EXPECT_FALSE(picks.Picked(picked));
        EXPECT_TRUE(cache.Poll().empty());

        // A pick of a picture without a sidecar makes one: the next listing finds it.
        ASSERT_EQ(picture::WriteClientPick(plain, true), "");
        EXPECT_EQ(cache.Refresh(entries)[0], std::nullopt);
        EXPECT_TRUE(picks.Picked(plain));

        // The photographer rates the picked one: the pick stays.
        ASSERT_EQ(picture::WriteRating({plain}, 2), "");
        cache.Wrote(plain, 2);
        EXPECT_TRUE(picks.Picked(plain));
        EXPECT_TRUE(picture::ReadClientPick(plain));

        // Listed without it: forgotten.
        cache.Refresh({entries[1], entries[2]});
        EXPECT_FALSE(picks.Picked(plain));
        cache.Refresh(entries);
        EXPECT_TRUE(picks.Picked(plain));
    }
    EXPECT_FALSE(picks.Picked(plain)) << "a cache gone forgets its picks";
}

// A pick among the sidecars past the first batch comes with the rest, as a change even unrated.
TEST(RatingCache, APickPastTheFirstBatchIsAChangeOfTheRest) {
    TempDir dir;
    std::vector<picture::PictureEntry> entries;
    for (std::size_t n = RatingCache::kReadBatch + 1; n >= 1; --n) {
        const std::string name = "Photo-" + std::to_string(10000 + n) + ".jpg";
        touch(dir.file(name));
        entries.push_back({dir.file(name), name, static_cast<std::uint32_t>(n)});
    }
    for (const auto& e : entries) sidecar(e.path + ".xmp", 1);
    const std::string last = entries.back().path;
    std::ofstream(last + ".xmp", std::ios::trunc)
        << "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
           "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
           "<rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" "
           "xmp:Label=\"Client Pick\"/></rdf:RDF></x:xmpmeta>\n";
    picture::ClientPicks picks;
    RatingCache cache(picks);
    cache.Refresh(entries);
    EXPECT_FALSE(picks.Picked(last));
    EXPECT_EQ(cache.ReadPending(), (std::vector<RatingCache::Change>{{last, std::nullopt}}));
    EXPECT_TRUE(picks.Picked(last));
}

}   // namespace
