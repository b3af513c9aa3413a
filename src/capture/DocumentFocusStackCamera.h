// The focus stack run's view of the program: the capture document's console, the open camera's
// focus drive (camera::kLensBusyRetry) and release (camera::kRunBusyRetry), and its series name.
// Called on the focus stack worker.
#pragma once

#include "capture/FocusStackThread.h"

class CViewDoc;

class DocumentFocusStackCamera : public FocusStackCamera {
public:
    explicit DocumentFocusStackCamera(CViewDoc* document) : document_(document) {}

    bool Ready() override;
    void Log(const std::string& text) override;
    sdk::Result DriveFocus(int step) override;
    bool TakePicture(std::string& written) override;
    void PhotoCaptured() override;
    void SetSeries(const std::string& series) override;
    int FreeSeriesNumber() override;

private:
    CViewDoc* const document_;
};
