// The Normal capture panel: one button, "Capture Photo" (also Space in the panel and
// Ctrl+Shift+C in the window), that takes a picture through the document and logs the outcome
// on the console. User-interface thread only.
#pragma once

#include <QWidget>

class CViewDoc;
class QPushButton;

class CCapNormalDlg : public QWidget {
    Q_OBJECT
public:
    explicit CCapNormalDlg(QWidget* parent = nullptr);

    void setDocument(CViewDoc* document) { document_ = document; }
    // Logs "Capturing Photo..." when a camera is open, takes the picture, and logs
    // "Photo Captured" when the document reports one; with no camera, one line saying so. Shared with the Astrophotography panel.
    static void CapturePhoto(CViewDoc* document);
    void OnCapturePhoto();

    QPushButton* captureButton() const { return button_; }

private:
    CViewDoc* document_ = nullptr;
    QPushButton* button_ = nullptr;
};
