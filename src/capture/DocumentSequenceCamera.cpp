#include "capture/DocumentSequenceCamera.h"

#include "camera/LabelTables.h"
#include "document/CViewDoc.h"

bool DocumentSequenceCamera::Ready() {
    return document_ != nullptr && document_->GetView("Debug") != nullptr;
}

void DocumentSequenceCamera::Log(const std::string& text) { document_->Log(text); }

bool DocumentSequenceCamera::CameraOpen() { return document_->openDriver() != nullptr; }

bool DocumentSequenceCamera::CameraAway() { return document_->cameraSession().away(); }

std::string DocumentSequenceCamera::Get(camera::Setting key) {
    camera::CanonDriver* driver = document_->openDriver();
    return driver ? driver->GetLabel(key) : std::string();
}

bool DocumentSequenceCamera::Offers(camera::Setting key, const std::string& label) {
    camera::CanonDriver* driver = document_->openDriver();
    return driver && camera::FindLabel(driver->Options(key), label) != nullptr;
}

bool DocumentSequenceCamera::Set(camera::Setting key, const std::string& label) {
    camera::CanonDriver* driver = document_->openDriver();
    return driver && driver->Set(key, label, camera::kRunBusyRetry);
}

bool DocumentSequenceCamera::HasZoom() {
    camera::CanonDriver* driver = document_->openDriver();
    return driver && driver->maxZoomPos() > 0;
}

std::uint32_t DocumentSequenceCamera::GetZoomPos() {
    camera::CanonDriver* driver = document_->openDriver();
    return driver ? driver->GetZoomPos() : 0;
}

void DocumentSequenceCamera::SetZoomPos(std::uint32_t position) {
    if (camera::CanonDriver* driver = document_->openDriver()) driver->SetZoomPos(position);
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
