// Compare on the Review tab: two pictures side by side in the viewscreen (CompareView), each
// first from its view at the viewscreen's size (kept by the LargeViewCache, or decoded first),
// then from its whole picture for 100 %, both decoded on the cache's workers, never on the
// window thread. A view that arrives for a picture no longer compared is not shown.
// User-interface thread only.
#pragma once

#include "capture/LargeViewCache.h"

#include <QObject>

#include <array>
#include <functional>
#include <string>

class CViewDoc;
class CViewViewscreen;

class ReviewCompare : public QObject {
public:
    ReviewCompare(CViewDoc* document, LargeViewCache& cache, QObject* parent = nullptr);

    // left (the earlier frame) and right side by side; the same pair again changes nothing.
    void Show(const std::string& left, const std::string& right);
    // The viewscreen back to what it showed before (a picture large, or the live view).
    void Hide();
    bool showing() const { return showing_; }
    const std::string& path(int side) const { return paths_[side]; }

    // A side is on screen: from its view (whole false) or its whole picture (whole true).
    std::function<void(const std::string& path, bool whole)> onSideShown;

private:
    CViewViewscreen* screen() const;
    void take(const LargeViewCache::View& view);

    CViewDoc* document_;
    LargeViewCache& cache_;
    bool showing_ = false;
    std::array<std::string, 2> paths_;
    std::array<bool, 2> whole_{};   // the side's whole picture is on screen
};
