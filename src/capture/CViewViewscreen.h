// The viewscreen pane: the live viewfinder picture (320 x 240, or larger in steps of 4:3 when
// the window grows), the stitch strip beside it, the exposure aids drawn over the live picture,
// and the histogram recomputation that the Info pane draws.
//
// Threads: DisplayFrame runs on the SDK's viewfinder thread. It reaches the pane's feed (the one
// process-wide pointer, taken under its lock), converts the frame into a reusable image and
// hands it to the user-interface thread through the feed's one-slot latest-frame mailbox
// (FrameMailbox): a newer frame replaces an unshown one, at most one wake-up is queued, and
// neither side waits for the other. Everything else runs on the user-interface thread.
#pragma once

#include "document/CView.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

class CViewDoc;
class CompareView;
class CPictureControl;
class QLabel;
class LiveMagnifier;
class LiveOverlay;
class UiWakeup;
struct ViewscreenFeed;

class CViewViewscreen : public QWidget, public CView {
    Q_OBJECT
public:
    enum Picture { LivePicture = 0, LeftStrip = 1, RightStrip = 2, TopStrip = 3, BottomStrip = 4 };

    // The layout's grid step: a strip is one step thick, the live picture 4 x 3 steps.
    static constexpr int kBaseStep = 80;

    explicit CViewViewscreen(CViewDoc* document, QWidget* parent = nullptr);
    ~CViewViewscreen() override;

    static CViewViewscreen* instance();   // the one viewscreen, or null

    // Shows width x height pixels (BGR, rows bottom-up) in picture control index 0..4; index 0
    // also updates the histogram once per interval. Other indexes do nothing.
    void ShowFrame(int index, int width, int height, const std::uint8_t* pixels);
    // The document's frame receiver: frame is the SDK buffer (54-byte header, then pixels).
    static void DisplayFrame(const std::uint8_t* frame);
    // The live picture goes black, as at start, and a frame of the camera that was still on its
    // way to the screen is dropped: after a disconnect or an unplug nothing of it shows.
    void ClearLivePicture();
    // Places the live picture and shows the strip for the document's stitch direction.
    void LayoutStitch();

    // The grid step for a main window of the given size: kBaseStep up to 800 x 600, then
    // growing with the smaller of the two stretches, so the pictures keep their 4:3 shape.
    static int StepForWindow(QSize window);
    // The pane size wanted at kBaseStep (caption band included) at another step.
    static QSize ScaledSpace(QSize baseSpace, int step);
    // Lays the pictures out on a grid of this step (at least kBaseStep); their images keep
    // their size and are drawn scaled into the larger controls.
    void setStep(int step);
    int step() const { return step_; }

    // The exposure aids over the live picture: clipped pixels marked, the rule-of-thirds grid.
    void setHighlightClipped(bool on);
    void setThirdsGrid(bool on);
    void setFocusPeaking(bool on);
    bool focusPeaking() const { return focusPeaking_; }
    // The camera's magnified live view: while magnified, a click on the live picture centres
    // the magnified area there and the arrow keys move it (the picture takes the focus on a
    // click). Null: neither.
    void setMagnifier(LiveMagnifier* magnifier) { magnifier_ = magnifier; }
    // The layout overlay over the live picture, and over a shown picture when the overlay asks
    // for it (fitted view only). Null: none. The overlay outlives the pane.
    void setOverlay(LiveOverlay* overlay);

    // A saved picture large in the live picture's place (grown to the whole pane below its
    // caption when the pane is larger than the grid), fitted with its aspect kept; live
    // frames keep arriving and are dropped until ShowLive. The exposure aids apply to it, but
    // focus peaking, which marks only peaking's edges (those of the whole picture, so that an
    // edge soft at 100 % is not marked on the fitted view; none when peaking is null). full:
    // the whole picture's size when picture is a smaller decode of it (empty: picture's own).
    void ShowPicture(const QImage& picture, QSize full = {}, const QImage& peaking = {});
    // The whole picture for the 100 % view of the one shown (the sharper second step).
    void ShowSharpPicture(const QImage& whole);
    // The size a picture shown large gets in the pane as it is now.
    QSize largeViewSize() const;
    bool showingSharp() const { return !review_.isNull() && review_.size() == full_; }
    // Back to the live view (from a picture, or compare).
    void ShowLive();
    bool showingPicture() const { return !review_.isNull(); }
    // The line under the picture shown large: its name and shooting data (empty: none).
    void setPictureCaption(const QString& text);
    QString pictureCaption() const;

    // Compare: side (CompareView::kLeft or kRight) shows image (the whole picture when its
    // size is full) with its caption; the first call brings compare up in the picture's place.
    // While comparing, a click zooms both to 100 % (again: fitted) and a drag pans both.
    void ShowCompare(int side, const QImage& image, QSize full, const QString& caption);
    // Back to the picture shown before compare, or the live view.
    void EndCompare();
    bool comparing() const { return compare_ != nullptr; }
    CompareView* compare() const { return compare_.get(); }
    // 100 % view of the shown picture around at (a point of the live picture control), or back
    // to the fitted view when already at 100 %.
    void ToggleActualSize(QPoint at);
    bool actualSize() const { return actualSize_; }
    // The picture's pixel under a point of the live picture control (fitted or at 100 %).
    QPoint PicturePoint(QPoint at) const;

    CPictureControl* picture(int index) const { return pictures_[index]; }

signals:
    // 100 % of a picture shown from a smaller decode: the whole picture is wanted.
    void sharpPictureWanted();

public:
    // Frames the live picture has taken from the mailbox / that DisplayFrame converted.
    std::uint64_t framesShown() const;
    std::uint64_t framesDelivered() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void takeLatestFrame();   // user-interface side of the mailbox
    void placePictures();     // geometry of the five controls for direction_ and step_
    void renderReview();      // the shown picture into the live control at its size
    void applyPeaking();      // the control's own peaking: live, or the whole picture 1:1
    QRect largeRect(QRect live) const;   // where a picture shown large goes
    bool large() const { return !review_.isNull() || compare_ != nullptr; }
    void restoreLive();   // the live frames back in the control

    CViewDoc* document_;
    std::array<CPictureControl*, 5> pictures_{};
    UiWakeup* wakeup_ = nullptr;
    std::shared_ptr<ViewscreenFeed> feed_;
    std::uint64_t shown_ = 0;
    std::uint32_t direction_ = 0;   // the stitch direction last laid out
    int step_ = kBaseStep;
    QImage review_;          // the picture shown large, or null for the live view
    QSize full_;             // the whole picture's size (review_ may be a smaller decode)
    QImage reviewPeaking_;   // the whole picture's edges at review_'s size, or null
    bool focusPeaking_ = false;
    QImage parked_;   // where live frames go while a picture is shown
    QRect fitted_;    // the picture's place in the control when fitted
    QPoint centre_;   // the picture's point at the middle of the control at 100 %
    bool actualSize_ = false;
    LiveMagnifier* magnifier_ = nullptr;
    LiveOverlay* overlay_ = nullptr;
    std::unique_ptr<CompareView> compare_;   // while comparing
    QPoint pressAt_;                         // compare: where the button went down
    bool dragging_ = false;
    QLabel* caption_ = nullptr;   // the line under a picture shown large
};
