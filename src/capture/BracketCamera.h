// What an exposure bracket needs of the program beyond a sequence run's camera: what the camera
// holds and offers, the series the next pictures belong to, the keyword on each picture, and
// the value a camera that went away is set back to when it returns. DocumentBracketCamera is
// the one over the capture document; tests give their own. Called on the bracket's worker.
#pragma once

#include "capture/DocumentSequenceCamera.h"

#include <string>
#include <vector>

class BracketCamera : public SequenceCamera {
public:
    // What the open camera holds now.
    virtual SettingValues Read() = 0;
    // The labels the camera offers for key.
    virtual std::vector<std::string> Offered(camera::Setting key) = 0;
    // The number the next bracket takes (one past the capture folder's highest).
    virtual int NextSeries() = 0;
    // The series text the next pictures are named with ({series}); empty when none.
    virtual void SetSeries(const std::string& series) = 0;
    // Adds keyword to the picture's sidecar: empty when done, else why not.
    virtual std::string Tag(const std::string& picture, const std::string& keyword) = 0;
    // A camera that is away gets label for key when it comes back.
    virtual void KeepOnReturn(camera::Setting key, const std::string& label) = 0;
};

class DocumentBracketCamera : public BracketCamera {
public:
    explicit DocumentBracketCamera(CViewDoc* document) : document_(document), base_(document) {}

    bool Ready() override { return base_.Ready(); }
    void Log(const std::string& text) override { base_.Log(text); }
    bool CameraOpen() override { return base_.CameraOpen(); }
    bool CameraAway() override { return base_.CameraAway(); }
    ApplyReport Apply(const SettingValues& wanted, const ApplyHook& hook) override {
        return base_.Apply(wanted, hook);
    }
    bool TakePicture(std::string& writtenPath) override { return base_.TakePicture(writtenPath); }
    void PhotoCaptured() override { base_.PhotoCaptured(); }
    std::string LogPath() override { return {}; }

    SettingValues Read() override;
    std::vector<std::string> Offered(camera::Setting key) override;
    int NextSeries() override;
    void SetSeries(const std::string& series) override;
    std::string Tag(const std::string& picture, const std::string& keyword) override;
    void KeepOnReturn(camera::Setting key, const std::string& label) override;

private:
    CViewDoc* const document_;
    DocumentSequenceCamera base_;
};
