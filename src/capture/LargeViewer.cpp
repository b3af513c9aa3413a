#include "capture/LargeViewer.h"

#include "capture/CViewViewscreen.h"
#include "capture/LargeViewCache.h"
#include "document/CViewDoc.h"
#include "views/CViewInfo.h"

#include <QFile>
#include <QPainter>

namespace {

CViewInfo* infoOf(CViewDoc* document) {
    return document ? dynamic_cast<CViewInfo*>(document->GetView("Info")) : nullptr;
}

QString viewerName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return QFile::decodeName(
        QByteArray::fromStdString(slash == std::string::npos ? path : path.substr(slash + 1)));
}

// The large view's stand-in for a picture that cannot be shown: why, on dark grey.
QImage notShown(const QString& why, QSize size) {
    QImage image(size.isEmpty() ? QSize(640, 480) : size, QImage::Format_RGB32);
    image.fill(QColor(48, 48, 48));
    QPainter painter(&image);
    painter.setPen(Qt::white);
    painter.drawText(image.rect().adjusted(20, 20, -20, -20), Qt::AlignCenter | Qt::TextWordWrap,
                     why);
    return image;
}

}   // namespace

LargeViewer::LargeViewer(CViewDoc* document, QObject* parent, LargeViewCache::Decoder decoder)
    : QObject(parent), document_(document), cache_(new LargeViewCache(this, std::move(decoder))) {
    cache_->onView = [this](const LargeViewCache::View& view) {
        CViewViewscreen* screen = this->screen();
        if (view.sharp) {
            if (screen && !view.image.isNull()) screen->ShowSharpPicture(view.image);
            return;
        }
        // Handed over on the next turn of the event loop, as a decode would be.
        QMetaObject::invokeMethod(
            this,
            [this, view, hides = hides_] {
                if (hides != hides_ || wanted_.empty()) return;   // back to the live view since
                CViewViewscreen* screen = this->screen();
                CViewInfo* info = infoOf(document_);
                if (view.image.isNull()) {
                    // Nothing of the picture before stays up: the view says why, no histogram.
                    const QString why =
                        viewerName(view.path) + QStringLiteral(" cannot be shown: ") + view.error;
                    if (screen) screen->ShowPicture(notShown(why, cache_->target()));
                    if (screen) screen->setPictureCaption(view.caption);
                    if (info) info->ShowPictureHistogram(nullptr);
                    if (onFailed) onFailed(view.path, why);
                    return;
                }
                if (screen) screen->ShowPicture(view.image, view.full, view.peaking);
                if (screen) screen->setPictureCaption(view.caption);
                if (info) info->ShowPictureHistogram(view.histogram.get());
                if (onShown) onShown(view.path);
            },
            Qt::QueuedConnection);
    };
}

CViewViewscreen* LargeViewer::screen() const {
    return document_ ? dynamic_cast<CViewViewscreen*>(document_->GetView("Viewscreen")) : nullptr;
}

void LargeViewer::follow(CViewViewscreen* screen) {
    if (!screen || followed_ == screen) return;
    if (followed_) disconnect(followed_, nullptr, this, nullptr);
    followed_ = screen;
    connect(screen, &CViewViewscreen::sharpPictureWanted, this, [this] { cache_->ShowSharp(); });
}

void LargeViewer::Show(const std::string& path, const std::vector<std::string>& ahead,
                       const std::vector<std::string>& behind, const QImage& standIn) {
    wanted_ = path;
    CViewViewscreen* screen = this->screen();
    if (screen) {
        follow(screen);
        cache_->setTarget(screen->largeViewSize());
        cache_->setPeaking(screen->focusPeaking());
    }
    cache_->Show(path, ahead, behind);
    if (cache_->has(path) || standIn.isNull()) return;
    // Not decoded yet: the thumbnail, magnified, until it is; nothing of the picture before
    // stays (no histogram, the name alone under it), and no earlier step's picture follows.
    cache_->StandInShown();
    if (screen) {
        // Scaled here once to its place (the view then only copies it).
        const QSize fit = standIn.size().scaled(screen->largeViewSize(), Qt::KeepAspectRatio);
        screen->ShowPicture(standIn.scaled(fit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                .convertToFormat(QImage::Format_RGB32));
        screen->setPictureCaption(viewerName(path));
    }
    if (CViewInfo* info = infoOf(document_)) info->ShowPictureHistogram(nullptr);
    if (onStandIn) onStandIn(path);
}

void LargeViewer::Hide() {
    wanted_.clear();
    ++hides_;
    cache_->Hide();
    if (CViewViewscreen* screen = this->screen()) {
        screen->setPictureCaption({});
        screen->ShowLive();
    }
    if (CViewInfo* info = infoOf(document_)) info->ShowPictureHistogram(nullptr);
}
