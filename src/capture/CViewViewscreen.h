// The viewscreen pane: the live viewfinder picture (320 x 240), the stitch strip beside it, and
// the histogram recomputation that the Info pane draws.
//
// Threads: DisplayFrame runs on the SDK's viewfinder thread. It converts the frame into a
// reusable image and hands it to the user-interface thread through a one-slot latest-frame
// mailbox (FrameMailbox): a newer frame replaces an unshown one, at most one wake-up is queued,
// and neither side waits for the other. Everything else runs on the user-interface thread.
#pragma once

#include "document/CView.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

class CViewDoc;
class CPictureControl;
class FrameMailbox;
class UiWakeup;

class CViewViewscreen : public QWidget, public CView {
    Q_OBJECT
public:
    enum Picture { LivePicture = 0, LeftStrip = 1, RightStrip = 2, TopStrip = 3, BottomStrip = 4 };

    explicit CViewViewscreen(CViewDoc* document, QWidget* parent = nullptr);
    ~CViewViewscreen() override;

    static CViewViewscreen* instance();   // the one viewscreen, or null

    // Shows width x height pixels (BGR, rows bottom-up) in picture control index 0..4; index 0
    // also updates the histogram once per interval. Other indexes do nothing.
    void ShowFrame(int index, int width, int height, const std::uint8_t* pixels);
    // The document's frame receiver: frame is the SDK buffer (54-byte header, then pixels).
    static void DisplayFrame(const std::uint8_t* frame);
    // Places the live picture and shows the strip for the document's stitch direction.
    void LayoutStitch();

    CPictureControl* picture(int index) const { return pictures_[index]; }
    // Frames the live picture has taken from the mailbox / that DisplayFrame converted.
    std::uint64_t framesShown() const;
    std::uint64_t framesDelivered() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void takeLatestFrame();   // user-interface side of the mailbox

    CViewDoc* document_;
    std::array<CPictureControl*, 5> pictures_{};
    UiWakeup* wakeup_ = nullptr;
    std::shared_ptr<FrameMailbox> mailbox_;
    std::uint64_t shown_ = 0;
};
