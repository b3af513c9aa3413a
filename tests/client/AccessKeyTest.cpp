#include "client/AccessKey.h"
#include "picture/Sidecar.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(AccessKeyTest, KeysAre128RandomBitsInHex) {
    std::set<std::string> keys;
    for (int i = 0; i < 64; ++i) {
        const std::string key = client::NewAccessKey();
        ASSERT_EQ(key.size(), 32u);
        EXPECT_EQ(key.find_first_not_of("0123456789abcdef"), std::string::npos);
        keys.insert(key);
    }
    EXPECT_EQ(keys.size(), 64u);
}

TEST(AccessKeyTest, ComparesWholeKeys) {
    const std::string key = "0123456789abcdef0123456789abcdef";
    EXPECT_TRUE(client::SameKey(key, key));
    EXPECT_FALSE(client::SameKey(key.substr(0, 31), key));
    EXPECT_FALSE(client::SameKey(key + "0", key));
    EXPECT_FALSE(client::SameKey("", key));
    EXPECT_FALSE(client::SameKey("", ""));
    std::string last = key;
    last.back() = 'e';
    EXPECT_FALSE(client::SameKey(last, key));
}

TEST(AccessKeyTest, AnAddressGuessingIsRefusedForAWhile) {
    using namespace std::chrono;
    client::WrongKeyGuard guard(3, minutes(1), seconds(30));
    const auto t0 = client::WrongKeyGuard::Clock::now();
    guard.Wrong("10.0.0.5", t0);
    guard.Wrong("10.0.0.5", t0 + seconds(1));
    EXPECT_FALSE(guard.Refused("10.0.0.5", t0 + seconds(1)));
    guard.Wrong("10.0.0.5", t0 + seconds(2));
    EXPECT_TRUE(guard.Refused("10.0.0.5", t0 + seconds(3)));
    EXPECT_FALSE(guard.Refused("10.0.0.6", t0 + seconds(3)));
    EXPECT_FALSE(guard.Refused("10.0.0.5", t0 + seconds(33)));
    // Wrong keys spread wider than the window never add up.
    guard.Wrong("10.0.0.7", t0);
    guard.Wrong("10.0.0.7", t0 + minutes(2));
    guard.Wrong("10.0.0.7", t0 + minutes(4));
    EXPECT_FALSE(guard.Refused("10.0.0.7", t0 + minutes(4)));
}

TEST(ClientPickTest, SetsAndClearsTheLabelButNeverTheRatingOrAnotherLabel) {
    testsupport::TempDir dir;
    const std::string photo = dir.file("Photo-0012.jpg");
    testsupport::WriteFile(photo, "jpeg");
    ASSERT_EQ(picture::WriteRating({photo}, 4), "");
    ASSERT_EQ(picture::WriteClientPick(photo, true), "");
    EXPECT_TRUE(picture::ReadClientPick(photo));
    EXPECT_EQ(picture::ReadRating(photo), 4);
    EXPECT_NE(testsupport::ReadFile(photo + ".xmp").find("Client Pick"), std::string::npos);
    ASSERT_EQ(picture::WriteClientPick(photo, false), "");
    EXPECT_FALSE(picture::ReadClientPick(photo));
    EXPECT_EQ(picture::ReadRating(photo), 4);
    // A label the photographer gave stays when the client clears a pick it never made.
    testsupport::WriteFile(photo + ".xmp",
                           "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www."
                           "w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description rdf:about=\"\" "
                           "xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" xmp:Label=\"Red\"/>"
                           "</rdf:RDF></x:xmpmeta>");
    ASSERT_EQ(picture::WriteClientPick(photo, false), "");
    EXPECT_NE(testsupport::ReadFile(photo + ".xmp").find("Red"), std::string::npos);
}

}   // namespace
