// Reads the review strip's thumbnails (with the ratings beside them) and the picture shown
// large on a Worker of two threads: the user-interface thread never decodes a picture and
// neither side waits for the other. A result of an older generation (the folder changed
// meanwhile) or an older large-picture request is not handed over; a read that throws (out of
// memory, say) is a result that says why. Paths are the file system's bytes.
#pragma once

#include "document/FocusPeaking.h"

#include <QImage>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>

template <class Result>
class Worker;

class PictureLoader : public QObject {
public:
    static constexpr int kIconWidth = 128, kIconHeight = 96;

    struct Thumbnail {
        std::string path;
        QImage icon;                 // kIconWidth x kIconHeight at most; null on failure
        QString error;               // why there is none
        std::optional<int> rating;   // from the sidecar
    };
    struct Picture {
        std::string path;
        QImage image;   // the whole picture; null on failure
        QString error;
        std::shared_ptr<const RgbHistogram> histogram;
    };

    explicit PictureLoader(QObject* parent = nullptr);
    ~PictureLoader() override;   // drops what is queued, waits for the reads under way

    // Results of earlier generations are dropped; pending thumbnails are forgotten.
    void NewGeneration();
    // Reads path's thumbnail unless that read is already queued.
    void RequestThumbnail(const std::string& path);
    // Reads the whole picture, ahead of the thumbnails; only the latest request is handed over.
    void RequestPicture(const std::string& path);

    std::function<void(const Thumbnail&)> onThumbnail;
    std::function<void(const Picture&)> onPicture;

private:
    struct Result {
        quint64 stamp = 0;   // the generation (thumbnail) or the request's ticket (picture)
        std::optional<Thumbnail> thumbnail;
        std::optional<Picture> picture;
    };
    void deliver(Result& result);

    // User-interface thread only.
    std::unordered_set<std::string> pending_;   // thumbnails queued or under way
    quint64 generation_ = 0;
    quint64 pictureTicket_ = 0;
    std::unique_ptr<Worker<Result>> worker_;   // last: goes first
};
