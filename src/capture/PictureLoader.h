// Reads the review strip's thumbnails (with the ratings beside them) and the picture shown
// large on two worker threads of its own, and hands the results to the user-interface thread
// through a queue under a lock and a UiWakeup: the user-interface thread never decodes a
// picture and neither side waits for the other. A result of an older generation (the folder
// changed meanwhile) or an older large-picture request is not handed over.
#pragma once

#include "document/FocusPeaking.h"

#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class UiWakeup;

class PictureLoader : public QObject {
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
    ~PictureLoader() override;   // drops what is queued, joins the workers

    // Results of earlier generations are dropped; pending thumbnails are forgotten.
    void NewGeneration();
    // Reads path's thumbnail unless that read is already queued.
    void RequestThumbnail(const QString& path);
    // Reads the whole picture, ahead of the thumbnails; only the latest request is handed over.
    void RequestPicture(const QString& path);

    std::function<void(const Thumbnail&)> onThumbnail;
    std::function<void(const Picture&)> onPicture;

private:
    struct Job {
        bool picture = false;
        QString path;
        quint64 stamp = 0;   // the generation (thumbnail) or the request's ticket (picture)
    };
    struct Result {
        quint64 stamp = 0;
        std::optional<Thumbnail> thumbnail;
        std::optional<Picture> picture;
    };
    void work();
    void deliver();   // user-interface thread

    UiWakeup* wakeup_ = nullptr;
    std::mutex lock_;   // guards jobs_, results_ and stop_
    std::condition_variable jobReady_;
    std::deque<Job> jobs_;
    std::vector<Result> results_;
    bool stop_ = false;
    std::vector<std::thread> workers_;

    // User-interface thread only.
    QSet<QString> pending_;   // thumbnails queued or under way
    quint64 generation_ = 0;
    quint64 pictureTicket_ = 0;
};
