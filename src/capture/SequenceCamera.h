// What a sequence run needs of the program: the console, the camera session's one Apply and a
// picture. DocumentSequenceCamera is the one over the capture document; tests
// give their own. Called on the sequence worker only.
#pragma once

#include "camera/Setting.h"
#include "document/SettingValues.h"

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
    // Sets the values asked for (empty labels and a zoom-less camera left alone) and reads them
    // back, telling hook before each is sent (CameraSession::Apply). The run's worker may
    // wait: a setting answered busy is tried again (camera::kRunBusyRetry).
    virtual ApplyReport Apply(const SettingValues& wanted, const ApplyHook& hook) = 0;
    // True when the picture was taken; writtenPath gets the file(s) it was saved under (";"
    // between several), empty when none was.
    virtual bool TakePicture(std::string& writtenPath) = 0;
    // After a successful TakePicture: "Photo Captured", then what the capture's pictures say.
    virtual void PhotoCaptured() { Log("Photo Captured\r\n"); }
    // "<capture folder><capture name>-sequence.csv", empty when no log can be kept.
    virtual std::string LogPath() = 0;
};
