// Reads the review strip's thumbnails (with the ratings beside them) and the picture shown
// large on worker threads of its own pool, and hands each result to the user-interface thread
// as a queued call: the user-interface thread never decodes a picture. A result of an older
// generation (the folder changed meanwhile) is not handed over.
#pragma once

#include "document/FocusPeaking.h"

#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <optional>

class PictureLoader : public QObject {
    Q_OBJECT
public:
    static constexpr int kIconWidth = 128, kIconHeight = 96;

    struct Thumbnail {
        QString path;
        QImage icon;                 // kIconWidth x kIconHeight at most; null on failure
        QString error;               // why there is none
        std::optional<int> rating;   // from the sidecar
    };
    struct Picture {
        QString path;
        QImage image;   // the whole picture; null on failure
        QString error;
        std::shared_ptr<const RgbHistogram> histogram;
    };

    explicit PictureLoader(QObject* parent = nullptr);
    ~PictureLoader() override;   // drops what is queued, waits for the reads under way

    // Results of earlier generations are dropped; pending thumbnails are forgotten.
    void NewGeneration();
    // Reads path's thumbnail unless that read is already queued.
    void RequestThumbnail(const QString& path);
    // Reads the whole picture; only the latest request's result is handed over.
    void RequestPicture(const QString& path);

    std::function<void(const Thumbnail&)> onThumbnail;
    std::function<void(const Picture&)> onPicture;

private:
    QThreadPool pool_;
    QSet<QString> pending_;       // thumbnails queued or under way (user-interface thread)
    quint64 generation_ = 0;      // user-interface thread
    quint64 pictureTicket_ = 0;   // user-interface thread
};
