#include "capture/CViewViewscreen.h"

#include "kit/PaneCaption.h"
#include "capture/CompareView.h"
#include "capture/CPictureControl.h"
#include "capture/FrameMailbox.h"
#include "capture/LiveMagnifier.h"
#include "capture/LiveOverlay.h"
#include "document/CViewDoc.h"
#include "document/FrameBuffers.h"
#include "views/CViewInfo.h"
#include "kit/UiWakeup.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QPainter>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <vector>

// What the viewfinder thread reaches of the pane: the mailbox, the document and a counter. The
// pane owns it; a delivery in flight keeps it alive past the pane (shared ownership).
struct ViewscreenFeed {
    ViewscreenFeed(UiWakeup* wakeup, CViewDoc* document, CViewViewscreen* pane)
        : mailbox(wakeup), document(document), pane(pane) {}
    FrameMailbox mailbox;
    CViewDoc* const document;      // outlives the pane
    CViewViewscreen* const pane;   // read on the user-interface thread only
    std::atomic<std::uint64_t> delivered{0};
};

namespace {

// The live pane's feed; DisplayFrame copies the pointer under the lock and works without it.
std::mutex gFeedLock;
std::shared_ptr<ViewscreenFeed> gFeed;

std::uint64_t nowMs() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

struct Place {
    int x, y, width, height;   // grid steps, below the caption band
};
// The five picture controls with no strip shown, and the live picture's offset per direction.
constexpr Place kPlaces[5] = {{0, 0, 4, 3}, {0, 0, 1, 3}, {4, 0, 1, 3}, {0, 0, 4, 1}, {0, 3, 4, 1}};
constexpr QPoint kLiveOffset[5] = {{0, 0}, {1, 0}, {0, 0}, {0, 1}, {0, 0}};
constexpr int kCaptionBand = 20;

}   // namespace

CViewViewscreen::CViewViewscreen(CViewDoc* document, QWidget* parent)
    : QWidget(parent), document_(document) {
    for (int i = 0; i < 5; ++i) {
        pictures_[i] = new CPictureControl(this);
        pictures_[i]->setVisible(i == LivePicture);
    }
    caption_ = new QLabel(this);
    caption_->setObjectName(QStringLiteral("pictureCaption"));
    caption_->setStyleSheet(QStringLiteral("background: rgba(0, 0, 0, 160); color: white;"));
    caption_->setContentsMargins(6, 0, 6, 0);
    caption_->hide();
    placePictures();
    pictures_[LivePicture]->installEventFilter(this);
    pictures_[LivePicture]->setFocusPolicy(Qt::ClickFocus);   // for the magnified area's keys
    wakeup_ = new UiWakeup([this] { takeLatestFrame(); }, this);
    feed_ = std::make_shared<ViewscreenFeed>(wakeup_, document_, this);

    // A black picture until the viewfinder runs (its histogram: every pixel in bin 0).
    ClearLivePicture();

    {
        std::lock_guard<std::mutex> guard(gFeedLock);
        gFeed = feed_;
    }
    if (document_) {
        document_->RegisterView(this, "Viewscreen");
        document_->setOnFrame(&CViewViewscreen::DisplayFrame);
    }
}

CViewViewscreen::~CViewViewscreen() {
    feed_->mailbox.detach();
    std::lock_guard<std::mutex> guard(gFeedLock);
    if (gFeed == feed_) gFeed.reset();
}

CViewViewscreen* CViewViewscreen::instance() {
    std::lock_guard<std::mutex> guard(gFeedLock);
    return gFeed ? gFeed->pane : nullptr;
}

void CViewViewscreen::ClearLivePicture() {
    if (feed_) feed_->mailbox.discard();
    const std::vector<std::uint8_t> black(FrameBuffers::kPixelBytes, 0);
    ShowFrame(LivePicture, FrameBuffers::kWidth, FrameBuffers::kHeight, black.data());
}

void CViewViewscreen::ShowFrame(int index, int width, int height, const std::uint8_t* pixels) {
    if (index < 0 || index > 4) return;
    pictures_[index]->setFramePixels(width, height, pixels);
    if (index != LivePicture || !document_) return;
    if (document_->UpdateHistogram(pixels, width, height, nowMs()))
        if (auto* info = dynamic_cast<CViewInfo*>(document_->GetView("Info")))
            info->InvalidateHistogram();
}

void CViewViewscreen::DisplayFrame(const std::uint8_t* frame) {
    std::shared_ptr<ViewscreenFeed> feed;
    {
        std::lock_guard<std::mutex> guard(gFeedLock);
        feed = gFeed;
    }
    if (!feed || !frame) return;
    feed->delivered.fetch_add(1, std::memory_order_relaxed);
    const std::uint8_t* pixels = frame + FrameBuffers::kHeaderBytes;
    ConvertFramePixels(FrameBuffers::kWidth, FrameBuffers::kHeight, pixels,
                       feed->mailbox.backImage());
    const bool recomputed =
        feed->document && feed->document->UpdateHistogram(pixels, FrameBuffers::kWidth,
                                                          FrameBuffers::kHeight, nowMs());
    feed->mailbox.publish(recomputed);
}

void CViewViewscreen::takeLatestFrame() {
    bool histogramChanged = false;
    // The picture's current image goes back into the rotation in exchange for the newest one.
    CPictureControl* live = pictures_[LivePicture];
    if (large()) {
        feed_->mailbox.take(parked_, histogramChanged);
    } else if (feed_->mailbox.take(live->imageBuffer(), histogramChanged)) {
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
    direction_ = direction;
    for (int i = LeftStrip; i <= BottomStrip; ++i)
        pictures_[i]->setVisible(static_cast<std::uint32_t>(i) == direction);
    placePictures();
}

void CViewViewscreen::placePictures() {
    const auto rectOf = [this](const Place& p, QPoint offset) {
        return QRect((p.x + offset.x()) * step_, kCaptionBand + (p.y + offset.y()) * step_,
                     p.width * step_, p.height * step_);
    };
    const QRect live = rectOf(kPlaces[LivePicture], kLiveOffset[direction_]);
    const QRect place = large() ? largeRect(live) : live;
    pictures_[LivePicture]->setGeometry(place);
    if (large()) pictures_[LivePicture]->raise();   // over a stitch strip
    for (int i = LeftStrip; i <= BottomStrip; ++i)
        pictures_[i]->setGeometry(rectOf(kPlaces[i], {}));
    caption_->setGeometry(place.left(), place.bottom() - 17, place.width(), 18);
    caption_->setVisible(!review_.isNull() && !compare_ && !caption_->text().isEmpty());
    caption_->raise();
    if (large()) renderReview();
}

QRect CViewViewscreen::largeRect(QRect live) const {
    // All the room the pane has (a maximised window gives it more than the live picture's
    // grid), strips aside.
    return live.united(QRect(0, kCaptionBand, width(), height() - kCaptionBand));
}

QSize CViewViewscreen::largeViewSize() const {
    const QRect live(kLiveOffset[direction_].x() * step_,
                     kCaptionBand + kLiveOffset[direction_].y() * step_, 4 * step_, 3 * step_);
    return largeRect(live).size();
}

void CViewViewscreen::ShowPicture(const QImage& picture, QSize full, const QImage& peaking) {
    if (picture.isNull()) return;
    const bool wasLive = !large();
    if (wasLive) parked_ = pictures_[LivePicture]->image();
    review_ = picture.convertToFormat(QImage::Format_RGB32);
    full_ = full.isEmpty() ? review_.size() : full;
    reviewPeaking_ = peaking.size() == review_.size() ? peaking : QImage();
    actualSize_ = false;
    pictures_[LivePicture]->setOverlay(nullptr);   // renderReview draws it, on the picture
    if (wasLive) placePictures();
    applyPeaking();
}

void CViewViewscreen::ShowSharpPicture(const QImage& whole) {
    if (review_.isNull() || whole.size() != full_) return;
    review_ = whole.convertToFormat(QImage::Format_RGB32);
    reviewPeaking_ = QImage();
    applyPeaking();
    renderReview();
}

void CViewViewscreen::applyPeaking() {
    // On a fitted or magnified review the control's own marks would be those of a scaled
    // picture: the honest ones are drawn by renderReview instead.
    const bool ownMarks =
        !compare_ && (review_.isNull() || (actualSize_ && review_.size() == full_));
    pictures_[LivePicture]->setFocusPeaking(focusPeaking_ && ownMarks);
    if (large()) renderReview();
}

void CViewViewscreen::ShowLive() {
    if (!large()) return;
    compare_.reset();
    review_ = QImage();
    reviewPeaking_ = QImage();
    actualSize_ = false;
    caption_->clear();
    restoreLive();
}

void CViewViewscreen::restoreLive() {
    applyPeaking();
    placePictures();
    // The newest frame that arrived meanwhile, or the one shown before.
    std::swap(pictures_[LivePicture]->imageBuffer(), parked_);
    pictures_[LivePicture]->setOverlay(overlay_);
    pictures_[LivePicture]->imageReplaced();
}

void CViewViewscreen::setPictureCaption(const QString& text) {
    caption_->setText(text);
    caption_->setVisible(!review_.isNull() && !compare_ && !text.isEmpty());
}

QString CViewViewscreen::pictureCaption() const { return caption_->text(); }

void CViewViewscreen::ShowCompare(int side, const QImage& image, QSize full,
                                  const QString& caption) {
    if (side != CompareView::kLeft && side != CompareView::kRight) return;
    const bool wasLive = !large();
    if (wasLive) parked_ = pictures_[LivePicture]->image();
    if (!compare_) {
        compare_ = std::make_unique<CompareView>();
        pictures_[LivePicture]->setOverlay(nullptr);
        pictures_[LivePicture]->setFocusPeaking(false);
        dragging_ = false;
    }
    compare_->setSide(side, image, full, caption);
    placePictures();
}

void CViewViewscreen::EndCompare() {
    if (!compare_) return;
    compare_.reset();
    if (review_.isNull()) {
        restoreLive();
        return;
    }
    placePictures();
    applyPeaking();
}

void CViewViewscreen::setOverlay(LiveOverlay* overlay) {
    overlay_ = overlay;
    if (!large()) pictures_[LivePicture]->setOverlay(overlay);
    if (overlay)
        connect(overlay, &LiveOverlay::changed, this, [this] {
            if (large()) renderReview();
            else pictures_[LivePicture]->update();
        });
}

QPoint CViewViewscreen::PicturePoint(QPoint at) const {
    if (review_.isNull()) return {};
    const QSize size = pictures_[LivePicture]->size();
    QPoint p;
    if (actualSize_) {
        p = centre_ + at - QPoint(size.width() / 2, size.height() / 2);
    } else {
        if (fitted_.isEmpty()) return {};
        p = QPoint(
            static_cast<int>(qint64(at.x() - fitted_.x()) * full_.width() / fitted_.width()),
            static_cast<int>(qint64(at.y() - fitted_.y()) * full_.height() / fitted_.height()));
    }
    return {std::clamp(p.x(), 0, full_.width() - 1), std::clamp(p.y(), 0, full_.height() - 1)};
}

void CViewViewscreen::ToggleActualSize(QPoint at) {
    if (compare_) {
        compare_->ToggleActualSize(at, pictures_[LivePicture]->size());
        renderReview();
        return;
    }
    if (review_.isNull()) return;
    if (!actualSize_) centre_ = PicturePoint(at);
    actualSize_ = !actualSize_;
    applyPeaking();
    if (actualSize_ && review_.size() != full_) emit sharpPictureWanted();
}

void CViewViewscreen::renderReview() {
    CPictureControl* live = pictures_[LivePicture];
    const QSize size = live->size().isEmpty() ? QSize(320, 240) : live->size();
    if (compare_) {
        live->imageBuffer() = compare_->Render(size);
        live->imageReplaced();
        return;
    }
    QImage canvas(size, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    if (actualSize_) {
        // The picture's pixels one for one, the chosen point in the middle (kept inside); from
        // a smaller decode magnified until the whole picture is there.
        const int x = std::clamp(centre_.x() - size.width() / 2, 0,
                                 std::max(0, full_.width() - size.width()));
        const int y = std::clamp(centre_.y() - size.height() / 2, 0,
                                 std::max(0, full_.height() - size.height()));
        centre_ = QPoint(x + size.width() / 2, y + size.height() / 2);
        const QRect source(QPoint(x, y), size.boundedTo(full_));
        const QPoint at(std::max(0, (size.width() - full_.width()) / 2),
                        std::max(0, (size.height() - full_.height()) / 2));
        if (review_.size() == full_) {
            painter.drawImage(at, review_, source);
        } else {
            const double kx = double(review_.width()) / full_.width();
            const double ky = double(review_.height()) / full_.height();
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(QRect(at, source.size()), review_,
                              QRectF(source.x() * kx, source.y() * ky, source.width() * kx,
                                     source.height() * ky));
        }
    } else {
        const QSize fit = full_.scaled(size, Qt::KeepAspectRatio);
        fitted_ = QRect(
            QPoint((size.width() - fit.width()) / 2, (size.height() - fit.height()) / 2), fit);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(fitted_, review_);
        LiveOverlay::Layer layer;
        if (overlay_ && overlay_->onReview() && overlay_->Prepare(fitted_.size(), layer)) {
            QImage composed;
            LiveOverlay::Compose(canvas.copy(fitted_), layer.image, composed);
            painter.drawImage(fitted_.topLeft(), composed);
        }
        if (focusPeaking_ && !reviewPeaking_.isNull()) {
            // The whole picture's edges, pooled so a mark stays a mark.
            painter.drawImage(fitted_.topLeft(),
                              CPictureControl::PoolPeaking(reviewPeaking_, fitted_.size())
                                  .convertToFormat(QImage::Format_ARGB32));
        }
    }
    painter.end();
    live->imageBuffer() = std::move(canvas);
    live->imageReplaced();
}

bool CViewViewscreen::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pictures_[LivePicture] && compare_) {
        // A click zooms both halves (again: fitted); a drag at 100 % pans them together.
        // Read as a mouse event only in the cases that are one.
        const auto mouse = [event] { return static_cast<QMouseEvent*>(event); };
        switch (event->type()) {
            case QEvent::MouseButtonPress:
                pressAt_ = mouse()->position().toPoint();
                dragging_ = false;
                return true;
            case QEvent::MouseMove:
                if (!(mouse()->buttons() & Qt::LeftButton)) return false;
                if (!dragging_ && (mouse()->position().toPoint() - pressAt_).manhattanLength() < 4)
                    return true;
                if (compare_->actualSize()) {
                    compare_->Pan(mouse()->position().toPoint() - pressAt_);
                    renderReview();
                }
                pressAt_ = mouse()->position().toPoint();
                dragging_ = true;
                return true;
            case QEvent::MouseButtonRelease:
                if (!dragging_) ToggleActualSize(pressAt_);
                dragging_ = false;
                return true;
            default: break;
        }
    }
    if (watched == pictures_[LivePicture] && event->type() == QEvent::MouseButtonPress &&
        !review_.isNull()) {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        ToggleActualSize(at);
        return true;
    }
    if (watched == pictures_[LivePicture] && !large() && magnifier_ != nullptr &&
        magnifier_->factor() > 1) {
        const QWidget* live = pictures_[LivePicture];
        if (event->type() == QEvent::MouseButtonPress && live->width() > 0 && live->height() > 0) {
            const QPointF at = static_cast<QMouseEvent*>(event)->position();
            magnifier_->CentreOn(at.x() / live->width(), at.y() / live->height());
            return false;   // the picture still takes the focus
        }
        if (event->type() == QEvent::KeyPress) {
            switch (static_cast<QKeyEvent*>(event)->key()) {
                case Qt::Key_Left: magnifier_->Move(-1, 0); return true;
                case Qt::Key_Right: magnifier_->Move(1, 0); return true;
                case Qt::Key_Up: magnifier_->Move(0, -1); return true;
                case Qt::Key_Down: magnifier_->Move(0, 1); return true;
                default: break;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

int CViewViewscreen::StepForWindow(QSize window) {
    const int byWidth = window.width() * kBaseStep / 800;
    const int byHeight = window.height() * kBaseStep / 600;
    return std::max(kBaseStep, std::min(byWidth, byHeight));
}

QSize CViewViewscreen::ScaledSpace(QSize baseSpace, int step) {
    return {baseSpace.width() * step / kBaseStep,
            kCaptionBand + (baseSpace.height() - kCaptionBand) * step / kBaseStep};
}

void CViewViewscreen::setStep(int step) {
    step = std::max(step, kBaseStep);
    if (step == step_) return;
    step_ = step;
    placePictures();
}

void CViewViewscreen::setHighlightClipped(bool on) {
    pictures_[LivePicture]->setHighlightClipped(on);
}

void CViewViewscreen::setThirdsGrid(bool on) { pictures_[LivePicture]->setThirdsGrid(on); }

void CViewViewscreen::setFocusPeaking(bool on) {
    if (on == focusPeaking_) return;
    focusPeaking_ = on;
    applyPeaking();
}

std::uint64_t CViewViewscreen::framesShown() const { return shown_; }
std::uint64_t CViewViewscreen::framesDelivered() const { return feed_->delivered.load(); }

void CViewViewscreen::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (large()) placePictures();
}

void CViewViewscreen::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawPaneCaption(painter, rect(), QStringLiteral("Viewscreen"));
}
