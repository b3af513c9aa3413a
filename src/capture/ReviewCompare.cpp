#include "capture/ReviewCompare.h"

#include "capture/CViewViewscreen.h"
#include "capture/CompareView.h"
#include "document/CViewDoc.h"

#include <QFile>

namespace {

QString compareName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return QFile::decodeName(
        QByteArray::fromStdString(slash == std::string::npos ? path : path.substr(slash + 1)));
}

}   // namespace

ReviewCompare::ReviewCompare(CViewDoc* document, LargeViewCache& cache, QObject* parent)
    : QObject(parent), document_(document), cache_(cache) {
    cache_.onDecoded = [this](const LargeViewCache::View& view) { take(view); };
}

CViewViewscreen* ReviewCompare::screen() const {
    return document_ ? dynamic_cast<CViewViewscreen*>(document_->GetView("Viewscreen")) : nullptr;
}

void ReviewCompare::Show(const std::string& left, const std::string& right) {
    if (showing_ && paths_[0] == left && paths_[1] == right) return;
    CViewViewscreen* screen = this->screen();
    if (screen) cache_.setTarget(screen->largeViewSize());
    const std::array<std::string, 2> before = paths_;
    const std::array<bool, 2> wholeBefore = whole_;
    paths_ = {left, right};
    showing_ = true;
    std::vector<std::string> wholes;
    for (int side : {CompareView::kLeft, CompareView::kRight}) {
        const std::string& path = paths_[side];
        // A picture that stays in the pair (a step moves it to the other half) keeps its whole.
        whole_[side] = false;
        for (int was : {0, 1})
            if (before[was] == path && wholeBefore[was] && screen && screen->compare()) {
                const CompareView::Side kept = screen->compare()->side(was);
                screen->ShowCompare(side, kept.image, kept.full, kept.caption);
                screen->ShowCompare(side, kept.whole, kept.full, kept.caption);
                whole_[side] = true;
            }
        if (whole_[side]) continue;
        wholes.push_back(path);
        // Nothing of the picture the half showed before stays; its view if kept, at once.
        if (screen) screen->ShowCompare(side, {}, {}, compareName(path));
        if (const LargeViewCache::View* view = cache_.find(path)) take(*view);
    }
    // The views first (the nearer sides at once), then the whole pictures, on the workers.
    cache_.Whole(wholes);
    for (int side : {CompareView::kRight, CompareView::kLeft})
        if (!whole_[side] && !cache_.find(paths_[side])) cache_.Prefetch(paths_[side]);
}

void ReviewCompare::Hide() {
    if (!showing_) return;
    showing_ = false;
    paths_ = {};
    whole_ = {};
    cache_.Whole({});
    if (CViewViewscreen* screen = this->screen()) screen->EndCompare();
}

void ReviewCompare::take(const LargeViewCache::View& view) {
    if (!showing_) return;
    CViewViewscreen* screen = this->screen();
    for (int side : {CompareView::kLeft, CompareView::kRight}) {
        if (paths_[side] != view.path || whole_[side]) continue;
        const bool shown =
            screen && screen->compare() && !screen->compare()->side(side).image.isNull();
        // The view again, or a whole picture that failed: what is shown stays.
        if (shown && (!view.sharp || view.image.isNull())) continue;
        const QString caption =
            view.image.isNull()
                ? compareName(view.path) + QStringLiteral(" cannot be shown: ") + view.error
                : view.caption;
        if (screen) screen->ShowCompare(side, view.image, view.full, caption);
        whole_[side] = view.sharp && !view.image.isNull();
        if (onSideShown) onSideShown(view.path, view.sharp);
    }
}
