// What a sequence run needs of the program: the console, the open camera's settings by key,
// its zoom and a picture. DocumentSequenceCamera is the one over the capture document; tests
// give their own. Called on the sequence worker only.
#pragma once

#include "camera/Setting.h"

#include <cstdint>
#include <string>

class SequenceCamera {
public:
    virtual ~SequenceCamera() = default;
    // False when the document or the console is gone: the run ends.
    virtual bool Ready() = 0;
    virtual void Log(const std::string& text) = 0;
    virtual bool CameraOpen() = 0;
    // True while the camera has gone away without the user's Disconnect and Kestrel waits
    // for it to come back (until it is open and set up again).
    virtual bool CameraAway() { return false; }
    virtual std::string Get(camera::Setting key) = 0;
    // True when the open camera lists this label for the setting.
    virtual bool Offers(camera::Setting key, const std::string& label) = 0;
    // The run's worker may wait: a setting or release answered busy is tried again
    // (camera::kRunBusyRetry) before it counts as failed.
    virtual bool Set(camera::Setting key, const std::string& label) = 0;
    // False when the open camera has no zoom to move: the zoom is then neither set nor read.
    virtual bool HasZoom() { return true; }
    virtual std::uint32_t GetZoomPos() = 0;
    virtual void SetZoomPos(std::uint32_t position) = 0;
    // True when the picture was taken; writtenPath gets the file(s) it was saved under (";"
    // between several), empty when none was.
    virtual bool TakePicture(std::string& writtenPath) = 0;
    // After a successful TakePicture: "Photo Captured", then what the capture's pictures say.
    virtual void PhotoCaptured() { Log("Photo Captured\r\n"); }
    // "<capture folder><capture name>-sequence.csv", empty when no log can be kept.
    virtual std::string LogPath() = 0;
};
