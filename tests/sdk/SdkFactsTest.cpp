// The SDK facts every side shares: little-endian bytes, the viewfinder frame header, the
// handle-keyed listings, camera file kinds and camera event data.
#include "sdk/CameraEvent.h"
#include "sdk/FileKind.h"
#include "sdk/FrameHeader.h"
#include "sdk/LittleEndian.h"
#include "sdk/Listing.h"
#include "sdk/sdk.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

TEST(LittleEndian, WritesLowByteFirstAndReadsBack) {
    struct Row {
        std::uint32_t value;
        std::uint8_t bytes[4];
    };
    const Row rows[] = {{0, {0, 0, 0, 0}},
                        {0x0800000Cu, {0x0C, 0, 0, 0x08}},
                        {0x12345678u, {0x78, 0x56, 0x34, 0x12}},
                        {0xFFFFFFFFu, {0xFF, 0xFF, 0xFF, 0xFF}}};
    for (const Row& row : rows) {
        std::uint8_t out[5] = {0, 0, 0, 0, 0xAA};
        sdk::WriteLe32(out, row.value);
        EXPECT_EQ(std::vector<std::uint8_t>(out, out + 4),
                  std::vector<std::uint8_t>(row.bytes, row.bytes + 4));
        EXPECT_EQ(out[4], 0xAA) << "wrote past four bytes";
        EXPECT_EQ(sdk::ReadLe32(row.bytes), row.value);
        EXPECT_EQ(sdk::ReadLe16(row.bytes), row.value & 0xFFFFu);
        std::uint8_t half[3] = {0, 0, 0xAA};
        sdk::WriteLe16(half, static_cast<std::uint16_t>(row.value));
        EXPECT_EQ(half[0], row.bytes[0]);
        EXPECT_EQ(half[1], row.bytes[1]);
        EXPECT_EQ(half[2], 0xAA) << "wrote past two bytes";
    }
}

TEST(LittleEndian, FieldsOfAnySizeHoldAtMostFourMeaningfulBytes) {
    struct Row {
        std::size_t size;
        std::vector<std::uint8_t> written;   // 0x04030201 into a field of size bytes
        std::uint32_t read;                  // what reading the field back gives
    };
    const Row rows[] = {{0, {}, 0},
                        {1, {1}, 0x01},
                        {2, {1, 2}, 0x0201},
                        {4, {1, 2, 3, 4}, 0x04030201},
                        {6, {1, 2, 3, 4, 0, 0}, 0x04030201}};
    for (const Row& row : rows) {
        std::vector<std::uint8_t> field(row.size + 1, 0xAA);
        sdk::WriteLeField(field.data(), row.size, 0x04030201u);
        EXPECT_EQ(std::vector<std::uint8_t>(field.begin(), field.end() - 1), row.written)
            << row.size;
        EXPECT_EQ(field.back(), 0xAA) << "wrote past the field of " << row.size;
        EXPECT_EQ(sdk::ReadLeField(field.data(), row.size), row.read) << row.size;
    }
}

struct Words {
    std::vector<std::uint32_t> items;
    std::size_t next = 0;
    std::size_t size() const { return items.size(); }
};

TEST(Listings, ResetCountNextReleaseAndOneAnswerPastTheEnd) {
    sdk::Listings<Words> listings;
    listings.Add(7, Words{{10, 20}});
    listings.Add(8, Words{});
    std::uint32_t count = 0;
    EXPECT_EQ(listings.Count(7, &count), sdk::kOk);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(listings.Count(7, nullptr), sdk::err::kInvalidPointer);
    EXPECT_EQ(listings.Count(9, &count), sdk::err::kInvalidHandle);

    enum class Op { Take, Release };
    struct Row {
        const char* what;
        Op op;
        sdk::Handle handle;
        sdk::Result result;
        std::size_t index;   // the item handed out, when result is kOk
    };
    const Row rows[] = {{"first", Op::Take, 7, sdk::kOk, 0},
                        {"second", Op::Take, 7, sdk::kOk, 1},
                        {"past the end", Op::Take, 7, sdk::err::kEnumNA, 0},
                        {"still past the end", Op::Take, 7, sdk::err::kEnumNA, 0},
                        {"empty listing", Op::Take, 8, sdk::err::kEnumNA, 0},
                        {"unknown handle", Op::Take, 9, sdk::err::kInvalidHandle, 0},
                        {"release", Op::Release, 7, sdk::kOk, 0},
                        {"release twice", Op::Release, 7, sdk::err::kInvalidHandle, 0},
                        {"next after release", Op::Take, 7, sdk::err::kInvalidHandle, 0}};
    for (const Row& row : rows) {
        std::size_t index = 99;
        const sdk::Result r =
            row.op == Op::Take ? listings.Take(row.handle, index) : listings.Release(row.handle);
        EXPECT_EQ(r, row.result) << row.what;
        if (row.op == Op::Take && r == sdk::kOk) {
            EXPECT_EQ(index, row.index) << row.what;
        }
    }
    EXPECT_EQ(listings.OpenCount(), 1u);
}

TEST(FrameHeader, TheWrittenFrameIsAcceptedAndEachWrongFieldRefused) {
    std::vector<std::uint8_t> frame(sdk::kFrameBytes, 0x5A);
    sdk::WriteFrameHeader(frame.data());
    const auto size = static_cast<std::uint32_t>(frame.size());
    EXPECT_TRUE(sdk::IsViewfinderFrame(frame.data(), size));
    EXPECT_EQ(sdk::ReadLe32(&frame[2]), 230454u);
    EXPECT_EQ(frame[50], 0) << "header bytes past the fields are zero";
    EXPECT_EQ(frame[54], 0x5A) << "pixels untouched";
    EXPECT_FALSE(sdk::IsViewfinderFrame(nullptr, size));
    EXPECT_FALSE(sdk::IsViewfinderFrame(frame.data(), size - 1));

    struct Row {
        const char* what;
        std::size_t at;
        std::uint32_t value;   // written little-endian over 4 bytes (2 for the bit depth)
    };
    const Row rows[] = {{"not BM", 0, 'B' | 'X' << 8},
                        {"width", 18, 321},
                        {"top-down height", 22, static_cast<std::uint32_t>(-240)},
                        {"bits a pixel", 28, 32},
                        {"compressed", 30, 1}};
    for (const Row& row : rows) {
        std::vector<std::uint8_t> bad = frame;
        if (row.at == 0 || row.at == 28)
            sdk::WriteLe16(&bad[row.at], static_cast<std::uint16_t>(row.value));
        else sdk::WriteLe32(&bad[row.at], row.value);
        EXPECT_FALSE(sdk::IsViewfinderFrame(bad.data(), size)) << row.what;
    }
}

TEST(FileKind, RawJpegAndOthersByExtensionInAnyCase) {
    using sdk::FileKind;
    struct Row {
        const char* name;
        FileKind kind;
        const char* saved;   // SavedExtension without a MIME type
    };
    const Row rows[] = {
        {"IMG_0001.CR2", FileKind::Raw, "cr2"},    {"IMG_0001.cr3", FileKind::Raw, "cr3"},
        {"DSC_0001.NEF", FileKind::Raw, "nef"},    {"DSC00001.ARW", FileKind::Raw, "arw"},
        {"DSCF0001.RAF", FileKind::Raw, "raf"},    {"IMG_0001.dng", FileKind::Raw, "dng"},
        {"P1010001.ORF", FileKind::Raw, "orf"},    {"P1000001.Rw2", FileKind::Raw, "rw2"},
        {"capt0000.raw", FileKind::Raw, "raw"},    {"IMG_0001.JPG", FileKind::Jpeg, "jpg"},
        {"img_0001.jpeg", FileKind::Jpeg, "jpg"},  {"IMG_0001.JpE", FileKind::Jpeg, "jpg"},
        {"MVI_0001.MOV", FileKind::Other, "mov"},  {"IMG_0001", FileKind::Other, "raw"},
        {"IMG.0001/FILE", FileKind::Other, "raw"}, {"IMG_0001.toolong", FileKind::Other, "raw"},
        {"IMG_0001.j-g", FileKind::Other, "raw"},  {"", FileKind::Other, "raw"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(sdk::FileKindOf(row.name), row.kind);
        EXPECT_EQ(sdk::SavedExtension(row.name), row.saved);
    }
    EXPECT_EQ(sdk::SavedExtension("capt0000", "image/JPEG"), "jpg");
    EXPECT_EQ(sdk::SavedExtension("IMG_0001.CR2", "image/jpeg"), "cr2") << "the name decides";
    for (const char* text :
         {"RAW + Large Fine JPEG", "cRAW + L", "NEF (Raw)", "NEF+Basic", "ARW", "CR3"})
        EXPECT_TRUE(sdk::NamesRaw(text)) << text;
    for (const char* text : {"Large Fine JPEG", "Medium Normal JPEG", "Small 3", ""})
        EXPECT_FALSE(sdk::NamesRaw(text)) << text;
}

TEST(CameraEventData, EachPayloadRoundTripsAndShortDataDecodesToWhatIsThere) {
    using Data = sdk::CameraEventData;
    struct Row {
        std::uint32_t id;
        Data event;
        std::vector<std::uint8_t> bytes;
    };
    const Row rows[] = {
        {sdk::kEventBattery, Data{4, {}}, {4, 0, 0, 0}},
        {sdk::kEventBattery, Data{6, "Full"}, {6, 0, 0, 0, 'F', 'u', 'l', 'l', 0}},
        {sdk::kEventCameraPicture,
         Data{0, "IMG_0412.JPG", false},
         {'I', 'M', 'G', '_', '0', '4', '1', '2', '.', 'J', 'P', 'G', 0, 0}},
        {sdk::kEventCameraPicture, Data{0, "A.CR2", true}, {'A', '.', 'C', 'R', '2', 0, 1}},
        {sdk::kEventSettingsChanged, Data{}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.event.text);
        const std::vector<std::uint8_t> bytes = row.event.Encode(row.id);
        EXPECT_EQ(bytes, row.bytes);
        const Data back =
            Data::Decode(row.id, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
        EXPECT_EQ(back.level, row.event.level);
        EXPECT_EQ(back.text, row.event.text);
        EXPECT_EQ(back.lateFile, row.event.lateFile);
    }
    // Short or missing data: the level's missing bytes are 0, a text ends with the data.
    const std::uint8_t two[] = {0x05, 0x01};
    EXPECT_EQ(Data::Decode(sdk::kEventBattery, two, 2).level, 0x105u);
    EXPECT_EQ(Data::Decode(sdk::kEventBattery, nullptr, 8).level, 0u);
    const char unterminated[] = {'I', 'M', 'G'};
    const Data cut = Data::Decode(sdk::kEventCameraPicture, unterminated, 3);
    EXPECT_EQ(cut.text, "IMG");
    EXPECT_FALSE(cut.lateFile);
}

}   // namespace
