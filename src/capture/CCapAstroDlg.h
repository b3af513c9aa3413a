// The Astrophotography capture panel: "Additive Frames:" (0 to 150) sets how many earlier
// viewfinder frames the document adds to each shown frame, "Calibrate for Noise" stores the
// current sum as the noise reference, "Capture Photo" takes an ordinary picture.
//
// Threads: user-interface thread only (the stacking itself runs in the document's frame relay).
#pragma once

#include <QWidget>

class CViewDoc;
class QPushButton;
class QSlider;
class QGroupBox;
class QLabel;

class CCapAstroDlg : public QWidget {
    Q_OBJECT
public:
    enum Id { CaptureId = 1000, SliderId = 1007, CalibrateId = 1009 };

    explicit CCapAstroDlg(QWidget* parent = nullptr);

    void setDocument(CViewDoc* document) { document_ = document; }
    // Run by the host when the "Astrophotography" tab is chosen: additiveFrames = the slider.
    void ReadAdditiveFrames();
    void OnCapturePhoto();
    // Logs "Calibrating noise..." and stores the current sum (or clears the reference at 0).
    void CalibrateNoise();

    QPushButton* captureButton() const { return capture_; }
    QPushButton* calibrateButton() const { return calibrate_; }
    QSlider* slider() const { return slider_; }
    QGroupBox* group() const { return group_; }

    QLabel* framesLabel() const { return frames_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnScroll();   // every move of slider 1007, dragging included
    void showFrames();

    CViewDoc* document_ = nullptr;
    QPushButton* capture_ = nullptr;
    QGroupBox* group_ = nullptr;
    QSlider* slider_ = nullptr;
    QPushButton* calibrate_ = nullptr;
    QLabel* frames_ = nullptr;
};
