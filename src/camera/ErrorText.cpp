// The text of an SDK error code: every row of the error table whose bits the code contains, or,
// for a code of the real-camera backend, the one row of its error value.
#include "camera/ErrorText.h"

#include "sdk/Errors.h"

#include <array>

namespace camera {
namespace {

struct ErrorRow {
    std::uint32_t code;
    const char* text;
};

// Rows in table order: the four field masks, the component values (bits 24 to 30), then the
// error values (bits 0 to 15) with "Last Generic Error Plus One" last.
constexpr std::array<ErrorRow, 125> kErrorRows{{
    {0x80000000, "Is Specific Mask"},
    {0x7F000000, "Component ID Mask"},
    {0x00FF0000, "Reserved Mask"},
    {0x0000FFFF, "Error ID Mask"},
    {0x01000000, "Client Component ID"},
    {0x02000000, "LLSDK Component ID"},
    {0x03000000, "HLSDK Component ID"},
    {0x04000000, "Property Parsing Component ID"},
    {0x05000000, "View Development Component ID"},
    {0x06000000, "View Decoding Component ID"},
    {0x07000000, "Color Mapping Component ID"},
    {0x08000000, "Picture Collection Component ID"},
    {0x09000000, "Setup Component ID"},
    {0x0A000000, "IWRAP Component ID"},
    {0x0B000000, "PSUSD Component ID"},
    {0x0C000000, "CDSDK Component ID"},
    {0x0D000000, "RDSDK Component ID"},
    {0x00000001, "Unimplemented"},
    {0x00000002, "Internal Error"},
    {0x00000003, "Memory Allocation Failed"},
    {0x00000004, "Memory Free Failed"},
    {0x00000005, "Operation Cancelled"},
    {0x00000006, "Incompatible Version"},
    {0x00000007, "Not Supported"},
    {0x00000008, "Unexpected Exception"},
    {0x00000009, "Protection Violation"},
    {0x0000000A, "Missing Subcomponent"},
    {0x0000000B, "Selection Unavailable"},
    {0x00000020, "File IO Error"},
    {0x00000021, "File Too Many Open"},
    {0x00000022, "File Not Found"},
    {0x00000023, "File Open Error"},
    {0x00000024, "File Close Error"},
    {0x00000025, "File Seek Error"},
    {0x00000026, "File Tell Error"},
    {0x00000027, "File Read Error"},
    {0x00000028, "File Write Error"},
    {0x00000029, "File Permission Error"},
    {0x0000002A, "File Disk Full Error"},
    {0x0000002B, "File Already Exists"},
    {0x0000002C, "File Formation Unrecognized"},
    {0x0000002D, "File Data Corrupt"},
    {0x0000002E, "File Naming N/A"},
    {0x00000040, "Directory Not Found"},
    {0x00000041, "Directory IO Error"},
    {0x00000042, "Directory Entry Not Found"},
    {0x00000043, "Directory Entry Exists"},
    {0x00000044, "Directory Not Empty"},
    {0x00000050, "Properties Unavailable"},
    {0x00000051, "Properties Mismatch"},
    {0x00000053, "Properties Not Loaded"},
    {0x00000060, "Invalid Parameter"},
    {0x00000061, "Invalid Handle"},
    {0x00000062, "Invalid Pointer"},
    {0x00000063, "Invalid Index"},
    {0x00000064, "Invalid Length"},
    {0x00000065, "Invalid FN Pointer"},
    {0x00000066, "Invalid Sort FN"},
    {0x00000080, "Device Not Found"},
    {0x00000081, "Device Busy"},
    {0x00000082, "Device Invalid"},
    {0x00000083, "Device Emergency"},
    {0x00000084, "Device Memory Full"},
    {0x00000085, "Device INternal Error"},
    {0x00000086, "Device Invalid Parameter"},
    {0x00000087, "Device No Disk"},
    {0x00000088, "Device Disk Error"},
    {0x00000089, "Device CF Gate Changed"},
    {0x0000008A, "Device Dial Changed"},
    {0x0000008B, "Device Not Installed"},
    {0x0000008C, "Device Stay Awake"},
    {0x0000008D, "Device Not Released"},
    {0x000000A0, "Stream IO Error"},
    {0x000000A1, "Stream Not Open"},
    {0x000000A2, "Stream Already Open"},
    {0x000000A3, "Stream Open Error"},
    {0x000000A4, "Stream Close Error"},
    {0x000000A5, "Stream Seek Error"},
    {0x000000A6, "Stream Tell Error"},
    {0x000000A7, "Stream Read Error"},
    {0x000000A8, "Stream Write Error"},
    {0x000000A9, "Stream Permission Error"},
    {0x000000AA, "Stream Couldn't Begin Thread"},
    {0x000000AB, "Stream Bad Options"},
    {0x000000AC, "Stream End Of Stream"},
    {0x000000C0, "Communications Port Is In Use"},
    {0x000000C1, "Communication Disconnected"},
    {0x000000C2, "Communication Device Incompatible"},
    {0x000000C3, "Communication Buffer Full"},
    {0x000000C4, "Communication USB BUS Error"},
    {0x000000D0, "USB Device Lock Error"},
    {0x000000D1, "USB Device Unlock Error"},
    {0x000000E0, "STI Unknown Error"},
    {0x000000E1, "STI Internal Error"},
    {0x000000E2, "STI Device Create Error"},
    {0x000000E3, "STI Device Release Error"},
    {0x000000E4, "Device Not Launched"},
    {0x000000F0, "Enum N/A"},
    {0x000000F1, "Invalid FN Call"},
    {0x000000F2, "Handle Not Found"},
    {0x000000F3, "Invalid ID"},
    {0x000000F4, "Wait Timeout Error"},
    {0x00002003, "Session Not Open"},
    {0x00002004, "Invalid Transaction ID"},
    {0x00002007, "Incomplete Transfer"},
    {0x00002008, "Invalid Storage ID"},
    {0x0000200A, "Device Property Not Supported"},
    {0x0000200B, "Invalid Object Format Code"},
    {0x00002011, "Self Test Failed"},
    {0x00002012, "Partial Deletion"},
    {0x00002014, "Specification By Format Unsupported"},
    {0x00002015, "No Valid Object Info"},
    {0x00002016, "Invalid Code Format"},
    {0x00002017, "Unknown Vender Code"},
    {0x00002018, "Capture Already Terminated"},
    {0x0000201A, "Invalid Parent Object"},
    {0x0000201B, "Invalid Device Property Format"},
    {0x0000201C, "Invalid Device Property Value"},
    {0x0000201E, "Session Already Open"},
    {0x0000201F, "Transaction Cancelled"},
    {0x00002020, "Specification Of Destination Unsupported"},
    {0x0000A001, "Unknown Command"},
    {0x0000A005, "Operation Refused"},
    {0x0000A006, "Lens Cover Closed"},
    {0x000000F5, "Last Generic Error Plus One"},
}};

// Answers of this program's own tables that the table above has no row for; reached only by
// their own-row codes, so no plain code lists them.
constexpr ErrorRow kOwnRows[] = {
    {sdk::err::kFocusAtLimit & 0x0000FFFFu, "Lens At Limit"},
};

}   // namespace

std::string GetErrorText(std::uint32_t code) {
    std::string text;
    if (sdk::err::IsOwnRow(code)) {
        // A code that says exactly what happened: its own row alone.
        for (const ErrorRow& row : kErrorRows)
            if (row.code == (code & 0x0000FFFFu)) return std::string(row.text) + "\r\n";
        for (const ErrorRow& row : kOwnRows)
            if (row.code == (code & 0x0000FFFFu)) return std::string(row.text) + "\r\n";
        return text;
    }
    for (const ErrorRow& row : kErrorRows) {
        if ((code & row.code) == row.code) {
            text += row.text;
            text += "\r\n";
        }
    }
    return text;
}

}   // namespace camera
