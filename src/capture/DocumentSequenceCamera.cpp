#include "capture/DocumentSequenceCamera.h"

#include "document/CViewDoc.h"

bool DocumentSequenceCamera::Ready() {
    return document_ != nullptr && document_->GetView("Debug") != nullptr;
}

void DocumentSequenceCamera::Log(const std::string& text) { document_->Log(text); }

bool DocumentSequenceCamera::CameraOpen() { return document_->openDriver() != nullptr; }

bool DocumentSequenceCamera::CameraAway() { return document_->cameraSession().away(); }

ApplyReport DocumentSequenceCamera::Apply(const SettingValues& wanted, const ApplyHook& hook) {
    return document_->cameraSession().Apply(wanted, camera::kRunBusyRetry, hook);
}

bool DocumentSequenceCamera::TakePicture(std::string& writtenPath) {
    return document_->TakePicture(&writtenPath, camera::kRunBusyRetry);
}

void DocumentSequenceCamera::PhotoCaptured() { document_->PhotoCaptured(); }

std::string DocumentSequenceCamera::LogPath() {
    return LogPathFor(document_->captureFolder(), document_->captureName());
}

std::string DocumentSequenceCamera::LogPathFor(const std::string& folder, const std::string& name) {
    if (folder.empty() || name.empty() || !CaptureNaming::IsSafeName(name) ||
        CaptureNaming::HasControl(name) || CaptureNaming::HasControl(folder))
        return {};
    return folder + name + "-sequence.csv";
}
