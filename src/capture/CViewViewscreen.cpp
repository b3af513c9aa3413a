#include "capture/CViewViewscreen.h"

#include "app/kit/PaneCaption.h"
#include "capture/CPictureControl.h"
#include "capture/FrameMailbox.h"
#include "document/CViewDoc.h"
#include "document/FrameBuffers.h"
#include "views/CViewInfo.h"
#include "views/UiWakeup.h"

#include <QPainter>

#include <chrono>
#include <mutex>
#include <vector>

namespace {

// The live pane's mailbox; DisplayFrame copies the pointer under the lock and works without it.
std::mutex gMailboxLock;
std::shared_ptr<FrameMailbox> gMailbox;
CViewViewscreen* gViewscreen = nullptr;   // user-interface thread only
CViewDoc* gDocument = nullptr;            // the document of the live pane (outlives it)
std::atomic<std::uint64_t> gDelivered{0};

std::uint64_t nowMs() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

struct Place {
    int x, y, width, height;
};
// Creation places of the five picture controls.
constexpr Place kPlaces[5] = {
    {0, 20, 320, 240}, {0, 20, 80, 240}, {320, 20, 80, 240}, {0, 20, 320, 80}, {0, 260, 320, 80}};

}  // namespace

CViewViewscreen::CViewViewscreen(CViewDoc* document, QWidget* parent)
    : QWidget(parent), document_(document) {
    for (int i = 0; i < 5; ++i) {
        pictures_[i] = new CPictureControl(this);
        pictures_[i]->setGeometry(kPlaces[i].x, kPlaces[i].y, kPlaces[i].width, kPlaces[i].height);
        pictures_[i]->setVisible(i == LivePicture);
    }
    wakeup_ = new UiWakeup([this] { takeLatestFrame(); }, this);
    mailbox_ = std::make_shared<FrameMailbox>(wakeup_);

    // A black picture until the viewfinder runs (its histogram: every pixel in bin 0).
    const std::vector<std::uint8_t> black(FrameBuffers::kPixelBytes, 0);
    ShowFrame(LivePicture, FrameBuffers::kWidth, FrameBuffers::kHeight, black.data());

    gViewscreen = this;
    {
        std::lock_guard<std::mutex> guard(gMailboxLock);
        gMailbox = mailbox_;
        gDocument = document_;
    }
    if (document_) {
        document_->RegisterView(this, "Viewscreen");
        document_->setOnFrame(&CViewViewscreen::DisplayFrame);
    }
}

CViewViewscreen::~CViewViewscreen() {
    mailbox_->detach();
    std::lock_guard<std::mutex> guard(gMailboxLock);
    if (gMailbox == mailbox_) {
        gMailbox.reset();
        gDocument = nullptr;
    }
    if (gViewscreen == this) gViewscreen = nullptr;
}

CViewViewscreen* CViewViewscreen::instance() { return gViewscreen; }

void CViewViewscreen::ShowFrame(int index, int width, int height, const std::uint8_t* pixels) {
    if (index < 0 || index > 4) return;
    pictures_[index]->setFramePixels(width, height, pixels);
    if (index != LivePicture || !document_) return;
    bool recomputed;
    {
        std::lock_guard<std::mutex> guard(mailbox_->histogramLock);
        recomputed = document_->UpdateHistogram(pixels, width, height, nowMs(),
                                                mailbox_->nextHistogramTime);
    }
    if (recomputed)
        if (auto* info = dynamic_cast<CViewInfo*>(document_->GetView("Info")))
            info->InvalidateHistogram();
}

void CViewViewscreen::DisplayFrame(const std::uint8_t* frame) {
    std::shared_ptr<FrameMailbox> mailbox;
    CViewDoc* document;
    {
        std::lock_guard<std::mutex> guard(gMailboxLock);
        mailbox = gMailbox;
        document = gDocument;
    }
    if (!mailbox || !frame) return;
    gDelivered.fetch_add(1, std::memory_order_relaxed);
    const std::uint8_t* pixels = frame + FrameBuffers::kHeaderBytes;
    ConvertFramePixels(FrameBuffers::kWidth, FrameBuffers::kHeight, pixels, mailbox->backImage());
    bool recomputed = false;
    if (document) {
        std::lock_guard<std::mutex> guard(mailbox->histogramLock);
        recomputed = document->UpdateHistogram(pixels, FrameBuffers::kWidth,
                                               FrameBuffers::kHeight, nowMs(),
                                               mailbox->nextHistogramTime);
    }
    mailbox->publish(recomputed);
}

void CViewViewscreen::takeLatestFrame() {
    bool histogramChanged = false;
    // The picture's current image goes back into the rotation in exchange for the newest one.
    CPictureControl* live = pictures_[LivePicture];
    if (mailbox_->take(live->imageBuffer(), histogramChanged)) {
        live->imageReplaced();
        ++shown_;
    }
    if (histogramChanged && document_)
        if (auto* info = dynamic_cast<CViewInfo*>(document_->GetView("Info")))
            info->InvalidateHistogram();
}

void CViewViewscreen::LayoutStitch() {
    if (!document_) return;
    const std::uint32_t direction = document_->stitchDirection();
    if (direction > 4) return;
    if (direction != 0) {
        static FrameBuffers::Strip strip;   // user-interface thread only
        document_->CopyOverlapStrip(strip.data());
        const bool vertical = direction == 1 || direction == 2;
        ShowFrame(static_cast<int>(direction), vertical ? 80 : 320, vertical ? 240 : 80,
                  strip.data());
    }
    static constexpr QPoint kLiveAt[5] = {{0, 20}, {80, 20}, {0, 20}, {0, 100}, {0, 20}};
    pictures_[LivePicture]->move(kLiveAt[direction]);
    for (int i = LeftStrip; i <= BottomStrip; ++i)
        pictures_[i]->setVisible(static_cast<std::uint32_t>(i) == direction);
    if (direction != 0) pictures_[direction]->move(kPlaces[direction].x, kPlaces[direction].y);
}

std::uint64_t CViewViewscreen::framesShown() const { return shown_; }
std::uint64_t CViewViewscreen::framesDelivered() const { return gDelivered.load(); }

void CViewViewscreen::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawPaneCaption(painter, rect(), QStringLiteral("Viewscreen"));
}
