// The sequence run's view of the program: the capture document's console, its open camera
// (the CanonSDK driver first) by setting key, and its pictures. Called on the sequence worker.
#pragma once

#include "capture/SequenceCamera.h"

class CViewDoc;

class DocumentSequenceCamera : public SequenceCamera {
public:
    explicit DocumentSequenceCamera(CViewDoc* document) : document_(document) {}

    bool Ready() override;
    void Log(const std::string& text) override;
    bool CameraOpen() override;
    bool CameraAway() override;
    ApplyReport Apply(const SettingValues& wanted, const ApplyHook& hook) override;
    bool TakePicture(std::string& writtenPath) override;
    void PhotoCaptured() override;
    std::string LogPath() override;

    // The log beside the captures: folder + name + "-sequence.csv"; empty without a folder, with
    // a name that would leave the folder, or with a control character in either (every capture
    // is refused then, so no log is made).
    static std::string LogPathFor(const std::string& folder, const std::string& name);

private:
    CViewDoc* const document_;
};
