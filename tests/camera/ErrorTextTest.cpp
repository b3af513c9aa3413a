// Error texts: every table row whose bits the code contains, in table order, each with "\r\n".
#include "camera/ErrorText.h"
#include "sdk/Errors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "text does not end in CR LF: " << text;
        if (end == std::string::npos) break;
        out.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return out;
}

using Lines = std::vector<std::string>;

struct ErrorCase {
    std::uint32_t code;
    Lines expected;
};

class ErrorTextCases : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ErrorTextCases, GivesEveryContainedRowInOrder) {
    const ErrorCase& c = GetParam();
    const std::string text = camera::GetErrorText(c.code);
    EXPECT_EQ(lines(text), c.expected);
    std::string joined;
    for (const auto& line : c.expected) joined += line + "\r\n";
    EXPECT_EQ(text, joined);   // nothing else added
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ErrorTextCases,
    ::testing::Values(
        ErrorCase{0x00000001, {"Unimplemented"}},
        ErrorCase{0x00000003, {"Unimplemented", "Internal Error", "Memory Allocation Failed"}},
        ErrorCase{0x0C000081,
                  {"Property Parsing Component ID", "Picture Collection Component ID",
                   "CDSDK Component ID", "Unimplemented", "Device Not Found", "Device Busy"}},
        ErrorCase{0x0000A006,
                  {"Internal Error", "Memory Free Failed", "Incompatible Version",
                   "Invalid Transaction ID", "Lens Cover Closed"}},
        ErrorCase{0x00010000, {}}, ErrorCase{0x00000000, {}},
        ErrorCase{0x80000000, {"Is Specific Mask"}},
        // 0xF5 contains many error values; "Last Generic Error Plus One" comes last.
        ErrorCase{0x000000F5,
                  {"Unimplemented",
                   "Memory Free Failed",
                   "Operation Cancelled",
                   "File IO Error",
                   "File Too Many Open",
                   "File Close Error",
                   "File Seek Error",
                   "Directory Not Found",
                   "Directory IO Error",
                   "Directory Not Empty",
                   "Properties Unavailable",
                   "Properties Mismatch",
                   "Invalid Parameter",
                   "Invalid Handle",
                   "Invalid Length",
                   "Invalid FN Pointer",
                   "Device Not Found",
                   "Device Busy",
                   "Device Memory Full",
                   "Device INternal Error",
                   "Stream IO Error",
                   "Stream Not Open",
                   "Stream Close Error",
                   "Stream Seek Error",
                   "Communications Port Is In Use",
                   "Communication Disconnected",
                   "Communication USB BUS Error",
                   "USB Device Lock Error",
                   "USB Device Unlock Error",
                   "STI Unknown Error",
                   "STI Internal Error",
                   "Device Not Launched",
                   "Enum N/A",
                   "Invalid FN Call",
                   "Wait Timeout Error",
                   "Last Generic Error Plus One"}}));

TEST(ErrorText, AllOnesGivesAll125RowsInTableOrder) {
    const Lines all = lines(camera::GetErrorText(0xFFFFFFFF));
    ASSERT_EQ(all.size(), 125u);
    EXPECT_EQ(all[0], "Is Specific Mask");
    EXPECT_EQ(all[1], "Component ID Mask");
    EXPECT_EQ(all[2], "Reserved Mask");
    EXPECT_EQ(all[3], "Error ID Mask");
    EXPECT_EQ(all[4], "Client Component ID");
    EXPECT_EQ(all[16], "RDSDK Component ID");
    EXPECT_EQ(all[17], "Unimplemented");
    EXPECT_EQ(all[63], "Device INternal Error");
    EXPECT_EQ(all[82], "Stream Couldn't Begin Thread");
    EXPECT_EQ(all[102], "Session Not Open");
    EXPECT_EQ(all[120], "Specification Of Destination Unsupported");
    EXPECT_EQ(all[121], "Unknown Command");
    EXPECT_EQ(all[123], "Lens Cover Closed");
    EXPECT_EQ(all[124], "Last Generic Error Plus One");
}

TEST(ErrorText, ARowsOwnCodeEndsWithThatRow) {
    // Rows whose bits a row's code contains come before it; the row itself is the last match.
    EXPECT_EQ(lines(camera::GetErrorText(0x0D000000)).back(), "RDSDK Component ID");
    EXPECT_EQ(lines(camera::GetErrorText(0x0000A005)).back(), "Operation Refused");
    EXPECT_EQ(lines(camera::GetErrorText(0x00002020)).back(),
              "Specification Of Destination Unsupported");
    EXPECT_EQ(lines(camera::GetErrorText(0x7F000000)).size(), 14u);   // mask and 13 components
    EXPECT_EQ(lines(camera::GetErrorText(0x7F000000)).front(), "Component ID Mask");
}

TEST(ErrorText, FieldMaskRowsNeedAllTheirBits) {
    EXPECT_EQ(lines(camera::GetErrorText(0x0000FFFF)).front(), "Error ID Mask");
    EXPECT_EQ(lines(camera::GetErrorText(0x00FF0000)), Lines{"Reserved Mask"});
    // One bit short of the mask gives no mask row.
    for (const auto& line : lines(camera::GetErrorText(0x0000FFFE)))
        EXPECT_NE(line, "Error ID Mask");
}

}   // namespace

TEST(ErrorText, TheLensAtItsEndReadsAloneOnEveryTable) {
    // Its own row, for the simulated and the real-camera table alike; no plain code lists it.
    EXPECT_EQ(camera::GetErrorText(sdk::err::kFocusAtLimit), "Lens At Limit\r\n");
    EXPECT_EQ(camera::GetErrorText(sdk::err::OwnRow(sdk::err::kFocusAtLimit)), "Lens At Limit\r\n");
    EXPECT_TRUE(sdk::err::IsFocusAtLimit(sdk::err::kFocusAtLimit));
    EXPECT_FALSE(sdk::err::IsFocusAtLimit(sdk::err::kFocusAtLimit & 0xFFFFu));
    EXPECT_FALSE(sdk::err::IsFocusAtLimit(sdk::err::OwnRow(sdk::err::kRefused)));
    EXPECT_EQ(lines(camera::GetErrorText(0xFFFFFFFF)).size(), 125u);
}
