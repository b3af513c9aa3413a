// The Review tab's large view: the picture in the viewscreen (from the LargeViewCache, decoded
// at the viewscreen's size, the whole picture only for 100 %) and its colour histogram in the
// Info pane; a picture that cannot be shown leaves nothing of the one before up: the view says
// why on dark grey and the histogram is cleared. A picture decoded ahead is shown on the next
// turn of the event loop. User-interface thread only.
#pragma once

#include "capture/LargeViewCache.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CViewDoc;
class CViewViewscreen;

class LargeViewer : public QObject {
public:
    // decoder: the cache's (tests hold it back).
    explicit LargeViewer(CViewDoc* document, QObject* parent = nullptr,
                         LargeViewCache::Decoder decoder = &LargeViewCache::Decode);

    // path large; ahead: the pictures in the direction of travel (nearest first), behind: the
    // other way; the nearest of both are decoded next. standIn (the strip's thumbnail) is shown
    // at once, magnified, while path is not decoded yet, so a held key is never behind.
    void Show(const std::string& path, const std::vector<std::string>& ahead,
              const std::vector<std::string>& behind, const QImage& standIn = {});
    // The live view again, no picture histogram.
    void Hide();
    bool showing() const { return !wanted_.empty(); }

    LargeViewCache& cache() const { return *cache_; }

    // The picture is on screen / cannot be shown (why: "<name> cannot be shown: <reason>").
    std::function<void(const std::string& path)> onShown;
    std::function<void(const std::string& path, const QString& why)> onFailed;
    // The stand-in of path is on screen (its decode is still to come).
    std::function<void(const std::string& path)> onStandIn;

private:
    CViewViewscreen* screen() const;
    void follow(CViewViewscreen* screen);   // its 100 % asks for the whole picture

    CViewDoc* document_;
    LargeViewCache* cache_ = nullptr;
    QPointer<CViewViewscreen> followed_;
    std::string wanted_;
    std::uint64_t hides_ = 0;   // a view queued before a Hide is not shown
};
