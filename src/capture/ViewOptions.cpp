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
        if (value != "0" && value != "1") continue;
        if (key == "highlight_clipped") options.highlightClipped = value == "1";
        if (key == "thirds_grid") options.thirdsGrid = value == "1";
        if (key == "focus_peaking") options.focusPeaking = value == "1";
        if (key == "show_new_pictures") options.showNewPictures = value == "1";
    }
    return options;
}

bool ViewOptions::Save(const QString& path, QString& error) const {
    const std::string text = std::string("highlight_clipped=") + (highlightClipped ? "1" : "0") +
                             "\nthirds_grid=" + (thirdsGrid ? "1" : "0") +
                             "\nfocus_peaking=" + (focusPeaking ? "1" : "0") +
                             "\nshow_new_pictures=" + (showNewPictures ? "1" : "0") + "\n";
    std::string reason;
    if (sdk::ReplaceSettingsFile(path.toStdString(), text, reason)) return true;
    error = QString::fromStdString(reason);
    return false;
}
