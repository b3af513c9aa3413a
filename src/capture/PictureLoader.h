// Reads the review strip's thumbnails (with the ratings beside them) on a Worker of two threads:
// the user-interface thread never decodes a picture and neither side waits for the other. A
// result of an older generation (the folder changed meanwhile) is not handed over; a read that
// throws (out of memory, say) is a result that says why. Paths are the file system's bytes.
// (The large view has a cache of its own: LargeViewCache.)
#pragma once

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

    explicit PictureLoader(QObject* parent = nullptr);
    ~PictureLoader() override;   // drops what is queued, waits for the reads under way

    // Results of earlier generations are dropped; pending thumbnails are forgotten.
    void NewGeneration();
    // Reads path's thumbnail unless that read is already queued.
    void RequestThumbnail(const std::string& path);

    std::function<void(const Thumbnail&)> onThumbnail;

private:
    struct Result {
        quint64 stamp = 0;   // the generation
        std::optional<Thumbnail> thumbnail;
    };
    void deliver(Result& result);

    // User-interface thread only.
    std::unordered_set<std::string> pending_;   // thumbnails queued or under way
    quint64 generation_ = 0;
    std::unique_ptr<Worker<Result>> worker_;   // last: goes first
};
