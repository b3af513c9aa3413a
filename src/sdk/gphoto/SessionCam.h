// The session's record of one open camera (private to the two session files).
#pragma once

#include "sdk/gphoto/Session.h"

#include <gphoto2/gphoto2.h>

#include <chrono>
#include <unordered_set>

namespace gphoto {

struct Session::Cam {
    Camera* camera = nullptr;
    Device device;
    Family family = Family::Compact;
    std::string widget[kSettingCount];   // empty: the camera lacks the setting
    std::string imageFormat, imageSize, afLock, zoom, owner, firmware, battery, viewfinder;
    // The magnified live view's factor and place (EOS), both or neither.
    std::string magnify, magnifyPosition;
    // The lens's focus drive: its widget and style (none: the camera does not offer it).
    enum class Focus { None, Eos, Nikon, Sony } focusStyle = Focus::None;
    std::string focusDrive;
    bool focusNeedsNone = false;   // EOS: the "None" after the last move did not go through
    bool canPreview = false;
    std::vector<std::string> sizes;   // image size texts; the index is the size code
    // EOS image format choices: (quality code, size code) -> the camera's text.
    std::vector<std::pair<std::pair<std::uint32_t, std::uint32_t>, std::string>> formats;
    sdk::EventCallback event = nullptr;
    void* eventContext = nullptr;
    sdk::FrameCallback frame = nullptr;
    void* frameContext = nullptr;
    CameraFile* previewFile = nullptr;
    bool previewFailing = false;      // the last preview call failed (reported)
    bool previewRefused = false;      // the last preview was refused as too large (reported)
    std::string captureTarget;        // the widget choosing RAM or card, when the camera has one
    bool noCard = false;              // the camera reported no storage: pictures live in its RAM
    std::deque<CameraPath> files;     // of the last release, still to download
    std::deque<CameraPath> waiting;   // announced by the camera itself, not yet fetched
    // A file whose transfer the camera answered busy: kept and fetched again (announced as a
    // camera picture when due), never lost to busy; dropped after kBusyFetchTries, left on
    // the camera and said once.
    struct Refetch {
        CameraPath file;
        bool released = false;   // a file of a release Kestrel made
        int tries = 1;           // transfers and announcements so far
        std::chrono::steady_clock::time_point due;
    };
    std::deque<Refetch> refetch;
    // Files saved from the camera's RAM whose delete it answered busy: tried again each tick.
    std::deque<std::pair<CameraPath, int>> deletes;
    // Files saved in this session, newest last (bounded): the other file of a pair (by the
    // camera's base name) takes the same name.
    struct Saved {
        std::string base;   // the camera's name without extension ("IMG_0412")
        std::string stem;   // the saved path without extension
        bool released;      // a file of a release Kestrel made
    };
    std::deque<Saved> saved;
    // Files saved in this session that stay on the camera ("folder/name"): announced again,
    // they are not fetched again (one in the camera's RAM leaves it, and its name may return).
    std::unordered_set<std::string> kept;
};

}   // namespace gphoto
