// Shared pieces of the Review tab tests (Qt Test): pictures as a camera leaves them in the capture
// folder, the Review panel over a document in a temporary folder (its trash there too), and what
// the panel's strip lists.
#pragma once

#include "support/PaneTestSupport.h"

#include "capture/CReviewPanel.h"
#include "capture/CViewViewscreen.h"
#include "capture/PictureLoader.h"
#include "sdk/sim/ImageFile.h"
#include "views/CViewInfo.h"

#include <QByteArray>
#include <QImage>
#include <QListWidget>
#include <QSize>
#include <QStringList>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// A JPEG of one shade with its EXIF thumbnail at path (the file system's bytes).
inline void WriteShadedJpeg(const std::string& path, std::uint8_t shade, int width = 320,
                            int height = 240) {
    std::vector<std::uint8_t> rgb(std::size_t(width) * height * 3, shade);
    const std::vector<std::uint8_t> jpeg = sim::jpegWithThumbnail(rgb.data(), width, height, 90);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg.data()),
               static_cast<std::streamsize>(jpeg.size()));
}

// A Review panel over the fixture's folder, the trash (XDG_DATA_HOME/Trash) in the folder too.
struct ReviewPanelFixture {
    DocFixture fx;
    std::string folder = fx.dir.path().toStdString() + "/";
    std::string trash = folder + "data/Trash";   // files/ and info/ below it
    std::unique_ptr<CViewViewscreen> screen;
    std::unique_ptr<CViewInfo> info;
    std::unique_ptr<CReviewPanel> review;

    ReviewPanelFixture() { qputenv("XDG_DATA_HOME", QByteArray::fromStdString(folder + "data")); }
    ~ReviewPanelFixture() {
        review.reset();
        fx.doc.reset();                        // it saves its settings into the folder
        std::filesystem::remove_all(folder);   // QTemporaryDir cannot remove names not UTF-8
    }
    // Shows the panel at the size given, with the viewscreen and the Info pane beside it unless
    // it is to be alone; returns its strip.
    QListWidget* show(QSize size = QSize(900, 400), bool alone = false) {
        if (!alone) {
            screen = std::make_unique<CViewViewscreen>(fx.doc.get());
            info = std::make_unique<CViewInfo>(fx.doc.get());
        }
        review = std::make_unique<CReviewPanel>(fx.doc.get());
        review->resize(size);
        review->show();
        return review->strip();
    }
    std::string path(const std::string& name) const { return folder + name; }
};

// The first lines of the strip's items (the pictures' names), newest first: every item, or only
// those the filter and the folded series leave shown.
inline QStringList StripNames(const QListWidget* strip) {
    QStringList out;
    for (int i = 0; i < strip->count(); ++i) out << strip->item(i)->text().section('\n', 0, 0);
    return out;
}
inline QStringList ShownNames(const QListWidget* strip) {
    QStringList out;
    for (int i = 0; i < strip->count(); ++i)
        if (!strip->item(i)->isHidden()) out << strip->item(i)->text().section('\n', 0, 0);
    return out;
}

// The strip's item whose text starts with name, or null.
inline QListWidgetItem* StripItemNamed(const QListWidget* strip, const QString& name) {
    const QList<QListWidgetItem*> found = strip->findItems(name, Qt::MatchStartsWith);
    return found.isEmpty() ? nullptr : found.front();
}

// An item's thumbnail as the strip draws it, marks included.
inline QImage StripIcon(const QListWidgetItem* item) {
    return item->icon()
        .pixmap(QSize(PictureLoader::kIconWidth, PictureLoader::kIconHeight))
        .toImage();
}

}   // namespace testsupport
