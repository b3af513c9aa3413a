#include "capture/ViewOptions.h"

#include "sdk/SettingsFile.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>

namespace {

constexpr std::size_t kMaxFileBytes = 64 * 1024;   // beyond this the file is not ours

}   // namespace

QString ViewOptions::PathBeside(const QString& configPath) {
    const QFileInfo config(configPath);
    return config.dir().filePath(QStringLiteral("view.cfg"));
}

ViewOptions ViewOptions::Load(const QString& path, QString* error) {
    ViewOptions options;
    std::string text, reason;
    const bool read = sdk::ReadSettingsFile(path.toStdString(), kMaxFileBytes, text, reason);
    if (error) *error = QString::fromStdString(reason);
    if (!read) return options;
    const QByteArray data = QByteArray::fromStdString(text);
    for (QByteArray line : data.split('\n')) {
        line = line.trimmed();
        const qsizetype equals = line.indexOf('=');
        if (equals < 0) continue;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        bool number = false;
        const int n = value.toInt(&number);
        if (key == "overlay") {
            if (value == "none") options.overlaySource = OverlaySource::None;
            if (value == "file") options.overlaySource = OverlaySource::File;
            if (value == "ghost") options.overlaySource = OverlaySource::LastCapture;
        }
        if (key == "overlay_file") options.overlayFile = QString::fromUtf8(value);
        if (key == "overlay_fit" && (value == "fit" || value == "fill"))
            options.overlayFill = value == "fill";
        if (key == "overlay_opacity" && number && n >= 0 && n <= 100) options.overlayOpacity = n;
        if (key == "overlay_offset_x" && number && n >= -100 && n <= 100)
            options.overlayOffsetX = n;
        if (key == "overlay_offset_y" && number && n >= -100 && n <= 100)
            options.overlayOffsetY = n;
        if (value != "0" && value != "1") continue;
        if (key == "overlay_review") options.overlayOnReview = value == "1";
        if (key == "highlight_clipped") options.highlightClipped = value == "1";
        if (key == "thirds_grid") options.thirdsGrid = value == "1";
        if (key == "focus_peaking") options.focusPeaking = value == "1";
        if (key == "show_new_pictures") options.showNewPictures = value == "1";
        if (key == "advance_after_rating") options.advanceAfterRating = value == "1";
    }
    return options;
}

bool ViewOptions::Save(const QString& path, QString& error) const {
    std::string text = std::string("highlight_clipped=") + (highlightClipped ? "1" : "0") +
                       "\nthirds_grid=" + (thirdsGrid ? "1" : "0") +
                       "\nfocus_peaking=" + (focusPeaking ? "1" : "0") +
                       "\nshow_new_pictures=" + (showNewPictures ? "1" : "0") +
                       "\nadvance_after_rating=" + (advanceAfterRating ? "1" : "0") + "\n";
    const char* sources[] = {"none", "file", "ghost"};
    QString file = overlayFile;
    file.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text += std::string("overlay=") + sources[static_cast<int>(overlaySource)] +
            "\noverlay_file=" + file.toStdString() +
            "\noverlay_opacity=" + std::to_string(overlayOpacity) +
            "\noverlay_fit=" + (overlayFill ? "fill" : "fit") +
            "\noverlay_offset_x=" + std::to_string(overlayOffsetX) +
            "\noverlay_offset_y=" + std::to_string(overlayOffsetY) +
            "\noverlay_review=" + (overlayOnReview ? "1" : "0") + "\n";
    std::string reason;
    if (sdk::ReplaceSettingsFile(path.toStdString(), text, reason)) return true;
    error = QString::fromStdString(reason);
    return false;
}
