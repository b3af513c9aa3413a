#include "capture/DocumentFocusStackCamera.h"

#include "document/CViewDoc.h"
#include "picture/SeriesKeyword.h"
#include "sdk/Errors.h"

bool DocumentFocusStackCamera::Ready() {
    return document_ != nullptr && document_->GetView("Debug") != nullptr;
}

void DocumentFocusStackCamera::Log(const std::string& text) { document_->Log(text); }

sdk::Result DocumentFocusStackCamera::DriveFocus(int step) {
    camera::CanonDriver* driver = document_->openDriver();
    if (driver == nullptr) return sdk::err::kDeviceNotFound;
    return driver->DriveFocus(step, camera::kLensBusyRetry);
}

bool DocumentFocusStackCamera::TakePicture(std::string& written) {
    return document_->TakePicture(&written, camera::kRunBusyRetry);
}

void DocumentFocusStackCamera::PhotoCaptured() { document_->PhotoCaptured(); }

void DocumentFocusStackCamera::SetSeries(const std::string& series) {
    document_->SetSeries(series);
}

int DocumentFocusStackCamera::FreeSeriesNumber() {
    return picture::NextSeriesNumber(document_->captureFolder(), picture::SeriesKind::FocusStack);
}
