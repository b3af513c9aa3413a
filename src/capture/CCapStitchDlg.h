// The Stitch capture panel: four arrows choose on which side of the live picture the previous
// shot lies; the viewscreen shows the matching edge strip of that shot beside the live picture,
// and a line under the buttons tells how far the live picture is from continuing the strip.
//
// Threads: user-interface thread only; the overlap estimate runs on OverlapReadout's worker.
#pragma once

#include <QSize>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

class CViewDoc;
class CViewViewscreen;
class OverlapReadout;
class QButtonGroup;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimer;

class CCapStitchDlg : public QWidget {
    Q_OBJECT
public:
    enum Id {
        CaptureId = 1001,
        ClearId = 1006,
        LeftId = 1002,
        RightId = 1003,
        TopId = 1004,
        BottomId = 1005
    };

    explicit CCapStitchDlg(QWidget* parent = nullptr);
    ~CCapStitchDlg() override;

    void setDocument(CViewDoc* document);
    void setViewscreen(CViewViewscreen* viewscreen) { viewscreen_ = viewscreen; }

    // Run by the host when the "Stitch" tab is chosen: the checked arrow's direction.
    void ApplyStitchSelection();
    void OnStitchCapturePhoto();
    void OnClearStitch();
    // An arrow's direction: stitchDirection, the strip cut anew, pane sizes, layout.
    void OnArrow(int radioId);

    QPushButton* captureButton() const { return capture_; }
    QPushButton* clearButton() const { return clear_; }
    QRadioButton* arrow(int radioId) const;   // 1002..1005, else null
    QLabel* bitmap(int bitmapId) const;       // 139..142 and 144, else null
    QLabel* overlapLine() const { return overlapLine_; }
    OverlapReadout* readout() const { return readout_.get(); }

signals:
    // The viewscreen pane should be this big (caption band included) for the chosen strip.
    void viewscreenSpaceWanted(QSize size);

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void tick();   // asks for an estimate while a strip is shown

    CViewDoc* document_ = nullptr;
    CViewViewscreen* viewscreen_ = nullptr;
    QPushButton* capture_ = nullptr;
    QPushButton* clear_ = nullptr;
    QButtonGroup* arrows_ = nullptr;
    std::array<QLabel*, 5> bitmaps_{};   // 139, 140, 141, 142, 144
    QLabel* overlapLine_ = nullptr;
    QTimer* timer_ = nullptr;
    std::unique_ptr<OverlapReadout> readout_;
};
