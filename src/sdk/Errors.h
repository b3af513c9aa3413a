// The SDK result codes the simulated and the real-camera backends report, in one place. The
// error text lists every row whose bits a code holds, so each is chosen for rows that read
// right ("Device Not Found" alone for a vanished camera).
#pragma once

#include "sdk/sdk.h"

namespace sdk::err {

constexpr Result kInternal = 0x00000002;
constexpr Result kIncompatibleVersion = 0x00000006;
constexpr Result kNotSupported = 0x00000007;
constexpr Result kFileNotFound = 0x00000022;
constexpr Result kFileOpen = 0x00000023;
constexpr Result kFileWrite = 0x00000028;
constexpr Result kDiskFull = 0x0000002A;
constexpr Result kFileExists = 0x0000002B;
constexpr Result kInvalidParameter = 0x00000060;
constexpr Result kInvalidHandle = 0x00000061;
constexpr Result kInvalidPointer = 0x00000062;
constexpr Result kInvalidIndex = 0x00000063;
constexpr Result kInvalidLength = 0x00000064;
constexpr Result kInvalidFnPointer = 0x00000065;
constexpr Result kDeviceNotFound = 0x00000080;
constexpr Result kGone = kDeviceNotFound;   // unplugged or switched off
constexpr Result kDeviceBusy = 0x00000081;
constexpr Result kDeviceInvalidParameter = 0x00000086;   // zoom out of range
constexpr Result kPortInUse = 0x000000C0;
constexpr Result kDisconnected = 0x000000C1;    // camera removed while open
constexpr Result kEnumNA = 0x000000F0;          // Next past the end
constexpr Result kInvalidFnCall = 0x000000F1;   // call not valid in this state
constexpr Result kSessionNotOpen = 0x00002003;
constexpr Result kPropertyNotSupported = 0x0000200A;
constexpr Result kRefused = 0x0000A005;   // value the camera does not offer
constexpr Result kDirectoryNotFound = 0x00000040;
constexpr Result kCancelled = 0x00000005;
constexpr Result kDeviceMemoryFull = 0x00000084;   // the camera's memory holds no more pictures
constexpr Result kDeviceInternal = 0x00000085;
constexpr Result kTimeout = 0x000000F4;

// The error text lists every row whose bits a code holds, so no plain code reads "Device Busy"
// without "Device Not Found" before it. The real-camera backend's codes carry this component
// (a value no component row is part of): their text is the one row of their error value.
constexpr Result kOwnRowComponent = 0x10000000;
constexpr Result OwnRow(Result code) {
    return code == kOk ? kOk : (code & 0x0000FFFFu) | kOwnRowComponent;
}
constexpr bool IsOwnRow(Result code) { return (code & 0x7F000000u) == kOwnRowComponent; }

// The lens is at its end in the direction of a focus step: its own row ("Lens At Limit"), on
// every table, so no other row reads with it.
constexpr Result kFocusAtLimit = OwnRow(0x0000A007);
constexpr bool IsFocusAtLimit(Result code) {
    return code != kOk && IsOwnRow(code) && (code & 0xFFFFu) == (kFocusAtLimit & 0xFFFFu);
}

}   // namespace sdk::err
