#include "capture/ViewOptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr qint64 kMaxFileBytes = 64 * 1024;   // beyond this the file is not ours

}   // namespace

QString ViewOptions::PathBeside(const QString& configPath) {
    const QFileInfo config(configPath);
    return config.dir().filePath(QStringLiteral("view.cfg"));
}

ViewOptions ViewOptions::Load(const QString& path) {
    ViewOptions options;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return options;
    const QByteArray data = file.read(kMaxFileBytes);
    for (QByteArray line : data.split('\n')) {
        line = line.trimmed();
        const qsizetype equals = line.indexOf('=');
        if (equals < 0) continue;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        if (value != "0" && value != "1") continue;
        if (key == "highlight_clipped") options.highlightClipped = value == "1";
        if (key == "thirds_grid") options.thirdsGrid = value == "1";
    }
    return options;
}

bool ViewOptions::Save(const QString& path, QString& error) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray text = QByteArray("highlight_clipped=") + (highlightClipped ? "1" : "0") +
                            "\nthirds_grid=" + (thirdsGrid ? "1" : "0") + "\n";
    file.write(text);
    if (!file.commit()) {
        error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
