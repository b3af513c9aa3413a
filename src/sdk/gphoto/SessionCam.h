// The session's record of one open camera (private to the two session files).
#pragma once

#include "sdk/gphoto/Session.h"

#include <gphoto2/gphoto2.h>

namespace gphoto {

struct Session::Cam {
    Camera* camera = nullptr;
    Device device;
    Family family = Family::Compact;
    std::string widget[kSettingCount];   // empty: the camera lacks the setting
    std::string imageFormat, imageSize, afLock, zoom, owner, firmware, battery, viewfinder;
    bool canPreview = false;
    std::vector<std::string> sizes;   // image size texts; the index is the size code
    // EOS image format choices: (quality code, size code) -> the camera's text.
    std::vector<std::pair<std::pair<std::uint32_t, std::uint32_t>, std::string>> formats;
    sdk::EventCallback event = nullptr;
    void* eventContext = nullptr;
    sdk::FrameCallback frame = nullptr;
    void* frameContext = nullptr;
    CameraFile* previewFile = nullptr;
    bool previewFailing = false;        // the last preview call failed (reported)
    std::deque<CameraFilePath> files;   // of the last release, still to download
    int downloaded = 0;                 // files of the last release written so far
};

}   // namespace gphoto
