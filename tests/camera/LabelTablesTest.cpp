// Label tables and the bounded record-field readers: codes to labels, unique labels per table,
// texts cut at the field's end when the NUL is missing, the firmware's last word.
#include "camera/LabelTables.h"
#include "camera/TextFields.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

namespace {

using camera::LabelOf;
using camera::SettingOption;

struct TableCase {
    const char* name;
    const std::vector<SettingOption>& (*table)();
    std::size_t size;
    std::uint32_t code;
    const char* label;
};

class LabelTableCases : public ::testing::TestWithParam<TableCase> {};

TEST_P(LabelTableCases, SizeSampleAndUniqueLabels) {
    const TableCase& c = GetParam();
    const auto& table = c.table();
    EXPECT_EQ(table.size(), c.size);
    EXPECT_EQ(LabelOf(table, c.code), c.label);
    std::set<std::string> labels;
    std::set<std::uint32_t> codes;
    for (const auto& option : table) {
        EXPECT_FALSE(option.label.empty());
        EXPECT_TRUE(labels.insert(option.label).second) << "duplicate label " << option.label;
        EXPECT_TRUE(codes.insert(option.code).second) << "duplicate code " << option.code;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tables, LabelTableCases,
    ::testing::Values(TableCase{"quality", camera::imageQualityLabels, 5, 5, "Superfine"},
                      TableCase{"shooting", camera::shootingModeLabels, 31, 111, "Black & White"},
                      TableCase{"av", camera::avLabels, 42, 32767, "Open"},
                      TableCase{"tv", camera::tvLabels, 59, 112, "1/125"},
                      TableCase{"exposure", camera::exposureLabels, 25, 24, "0"},
                      TableCase{"wb", camera::whiteBalanceLabels, 16, 14, "Fluorescent H"},
                      TableCase{"af", camera::afDistanceLabels, 11, 10, "Infinity"},
                      TableCase{"flash", camera::flashLabels, 7, 6, "On + Red Eye"},
                      TableCase{"meter", camera::meterLabels, 6, 1, "Spot"},
                      TableCase{"iso", camera::isoLabels, 32, 120, "6400"},
                      TableCase{"effect", camera::effectLabels, 8, 100, "My Color"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LabelTables, CodesWithoutLabel) {
    EXPECT_EQ(LabelOf(camera::whiteBalanceLabels(), 13), "");
    EXPECT_EQ(LabelOf(camera::avLabels(), 9), "");
    EXPECT_EQ(LabelOf(camera::imageQualityLabels(), 6), "");
    EXPECT_EQ(LabelOf(camera::imageQualityLabels(), 0), "");
    EXPECT_EQ(LabelOf(camera::tvLabels(), 0x10000 + 112), "");   // all 32 bits compared
    EXPECT_EQ(LabelOf(camera::effectLabels(), 7), "");
}

TEST(LabelTables, SameLabelDifferentSettings) {
    EXPECT_EQ(LabelOf(camera::shootingModeLabels(), 109), "Spot");
    EXPECT_EQ(LabelOf(camera::meterLabels(), 1), "Spot");
    EXPECT_EQ(LabelOf(camera::shootingModeLabels(), 0), "Auto");
    EXPECT_EQ(LabelOf(camera::whiteBalanceLabels(), 0), "Auto");
    EXPECT_EQ(LabelOf(camera::isoLabels(), 0), "Auto");
    EXPECT_EQ(LabelOf(camera::exposureLabels(), 0), "+3");
    EXPECT_EQ(LabelOf(camera::exposureLabels(), 48), "-3");
    EXPECT_EQ(LabelOf(camera::tvLabels(), 4), "Bulb");
    EXPECT_EQ(LabelOf(camera::tvLabels(), 168), "1/16000");
}

TEST(LabelTables, FindByLabelNeedsExactText) {
    const auto& tv = camera::tvLabels();
    ASSERT_NE(camera::FindLabel(tv, "1/125"), nullptr);
    EXPECT_EQ(camera::FindLabel(tv, "1/125")->code, 112u);
    EXPECT_EQ(camera::FindLabel(tv, "1/12"), nullptr);
    EXPECT_EQ(camera::FindLabel(tv, "1/125 "), nullptr);
    EXPECT_EQ(camera::FindLabel(tv, ""), nullptr);
    EXPECT_EQ(camera::FindLabel(camera::exposureLabels(), "0")->code, 24u);
    EXPECT_EQ(camera::FindCode(tv, 113), nullptr);
}

TEST(TextFields, TextStopsAtNulOrFieldEnd) {
    std::uint8_t buffer[8];
    std::memset(buffer, 'A', sizeof buffer);
    EXPECT_EQ(camera::BoundedText(buffer, sizeof buffer), "AAAAAAAA");   // no NUL: whole field
    buffer[3] = 0;
    EXPECT_EQ(camera::BoundedText(buffer, sizeof buffer), "AAA");
    buffer[0] = 0;
    EXPECT_EQ(camera::BoundedText(buffer, sizeof buffer), "");
}

TEST(TextFields, DeviceNameAndSizeLabelOffsets) {
    sdk::DeviceRecord device{};
    std::memset(device.bytes, 'x', 8);
    std::memcpy(device.bytes + 8, "EOS 20D", 8);
    EXPECT_EQ(camera::DeviceName(device), "EOS 20D");
    std::memset(device.bytes, 'N', sizeof device.bytes);   // no NUL anywhere
    EXPECT_EQ(camera::DeviceName(device), std::string(392, 'N'));

    sdk::ImageSizeRecord size{};
    size.bytes[0] = 2;
    std::memcpy(size.bytes + 10, "Medium", 7);
    EXPECT_EQ(camera::SizeLabel(size), "Medium");
    std::memset(size.bytes, 'L', sizeof size.bytes);
    EXPECT_EQ(camera::SizeLabel(size), std::string(54, 'L'));
}

TEST(TextFields, LastWord) {
    EXPECT_EQ(camera::LastWord("Firmware Version 1.0.2"), "1.0.2");
    EXPECT_EQ(camera::LastWord("1.0.2"), "1.0.2");
    EXPECT_EQ(camera::LastWord("   "), "");
    EXPECT_EQ(camera::LastWord(""), "");
    EXPECT_EQ(camera::LastWord("Version 2.0 "), "2.0");
    EXPECT_EQ(camera::LastWord(" lead"), "lead");
}

TEST(TextFields, LittleEndianWords) {
    std::uint8_t bytes[4];
    camera::PutLittleEndianWord(bytes, 0x0800000Cu);
    EXPECT_EQ(bytes[0], 0x0C);
    EXPECT_EQ(bytes[3], 0x08);
    EXPECT_EQ(camera::LittleEndianWord(bytes), 0x0800000Cu);
}

}   // namespace
