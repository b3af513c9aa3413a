#include "capture/LiveOverlay.h"

#include "document/OverlayBlend.h"
#include "kit/Worker.h"
#include "picture/Preview.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QPainter>

struct LiveOverlay::Loaded {
    quint64 ticket = 0;
    QImage image;
    QString error;
    QString path;
};

LiveOverlay::LiveOverlay(QObject* parent) : QObject(parent) {
    worker_ = std::make_unique<Worker<Loaded>>([this](Loaded& loaded) {
        if (loaded.ticket != ticket_) return;   // an older request
        if (loaded.image.isNull()) {
            if (onLog) onLog("Overlay not shown: " + loaded.path + ": " + loaded.error + "\r\n");
            picture_ = QImage();
        } else {
            picture_ = std::move(loaded.image);
        }
        ++generation_;
        emit changed();
    });
}

LiveOverlay::~LiveOverlay() = default;

QImage LiveOverlay::ReadOverlayFile(const QString& path, QString& error) {
    std::vector<std::uint8_t> bytes;
    std::string why;
    if (!picture::ReadPictureBytes(path.toStdString(), bytes, why)) {
        error = QString::fromStdString(why);
        return {};
    }
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (reader.format() != "png" && reader.format() != "jpeg") {
        error = QStringLiteral("it is not a PNG or JPEG picture");
        return {};
    }
    const QSize size = reader.size();
    if (size.isValid() &&
        quint64(size.width()) * quint64(size.height()) > picture::kMaxPicturePixels) {
        error = QStringLiteral("the picture claims %1 x %2 pixels, more than Kestrel reads")
                    .arg(size.width())
                    .arg(size.height());
        return {};
    }
    QImage image = reader.read();
    if (image.isNull()) {
        error = QStringLiteral("it cannot be read (%1)").arg(reader.errorString());
        return {};
    }
    return image.convertToFormat(QImage::Format_ARGB32);
}

void LiveOverlay::load(const QString& path, bool ghost) {
    const quint64 ticket = ++ticket_;
    worker_->Post([ticket, path, ghost](const std::atomic<bool>&) {
        Loaded loaded{ticket, {}, {}, path};
        if (!ghost) {
            loaded.image = ReadOverlayFile(path, loaded.error);
            return loaded;
        }
        // The ghost: a preview of the capture large enough for the view.
        const picture::Pixels pixels = picture::ReadThumbnail(path.toStdString(), 640);
        if (!pixels.ok()) {
            loaded.error = QString::fromStdString(pixels.error);
            return loaded;
        }
        loaded.image = QImage(pixels.rgb.data(), pixels.width, pixels.height, pixels.width * 3,
                              QImage::Format_RGB888)
                           .convertToFormat(QImage::Format_ARGB32);
        return loaded;
    });
}

void LiveOverlay::setOptions(const ViewOptions& options) {
    const bool reread = options.overlaySource != options_.overlaySource ||
                        options.overlayFile != options_.overlayFile;
    options_ = options;
    ++generation_;
    if (reread) {
        ++ticket_;   // what is on its way is of the old source
        picture_ = QImage();
        if (options_.overlaySource == ViewOptions::OverlaySource::File &&
            !options_.overlayFile.isEmpty())
            load(options_.overlayFile, false);
    }
    emit changed();
}

void LiveOverlay::PictureSaved(const QString& path) {
    if (options_.overlaySource == ViewOptions::OverlaySource::LastCapture) load(path, true);
}

bool LiveOverlay::Prepare(QSize viewSize, Layer& layer) const {
    if (picture_.isNull() || viewSize.isEmpty()) return false;
    if (layer.generation == generation_ && layer.image.size() == viewSize) return true;
    const overlay::Rect r =
        overlay::Place(picture_.width(), picture_.height(), viewSize.width(), viewSize.height(),
                       options_.overlayFill ? overlay::Fit::Fill : overlay::Fit::Fit,
                       options_.overlayOffsetX, options_.overlayOffsetY);
    const QImage scaled =
        picture_.scaled(r.width, r.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_ARGB32);
    if (layer.image.size() != viewSize || layer.image.format() != QImage::Format_ARGB32)
        layer.image = QImage(viewSize, QImage::Format_ARGB32);
    overlay::BuildLayer(
        reinterpret_cast<const std::uint32_t*>(scaled.constBits()),
        static_cast<std::size_t>(scaled.bytesPerLine()) / 4, r, options_.overlayOpacity,
        reinterpret_cast<std::uint32_t*>(layer.image.bits()), viewSize.width(), viewSize.height(),
        static_cast<std::size_t>(layer.image.bytesPerLine()) / 4);
    layer.generation = generation_;
    return true;
}

void LiveOverlay::Compose(const QImage& shown, const QImage& layer, QImage& composed) {
    if (composed.size() != shown.size() || composed.format() != QImage::Format_RGB32)
        composed = QImage(shown.size(), QImage::Format_RGB32);
    if (layer.size() != shown.size()) return;
    overlay::Blend(reinterpret_cast<const std::uint32_t*>(shown.constBits()),
                   static_cast<std::size_t>(shown.bytesPerLine()) / 4,
                   reinterpret_cast<const std::uint32_t*>(layer.constBits()),
                   static_cast<std::size_t>(layer.bytesPerLine()) / 4,
                   reinterpret_cast<std::uint32_t*>(composed.bits()),
                   static_cast<std::size_t>(composed.bytesPerLine()) / 4, shown.width(),
                   shown.height());
}
