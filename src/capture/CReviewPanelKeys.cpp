// The Review panel's keys and what they do to the pictures: stepping, the large view, ratings,
// the trash and its undo, and the sidecars read on. The listing and the strip are in
// CReviewPanel.cpp.
#include "capture/CReviewPanel.h"

#include "capture/CPictureControl.h"
#include "capture/CViewViewscreen.h"
#include "capture/DesktopTrash.h"
#include "capture/LargeViewCache.h"
#include "capture/LargeViewer.h"
#include "capture/ReviewCompare.h"
#include "capture/ReviewCull.h"
#include "capture/ReviewPanelShared.h"
#include "document/CaptureNaming.h"
#include "document/CViewDoc.h"
#include "kit/Worker.h"
#include "picture/RatingCache.h"
#include "picture/Sidecar.h"

#include <QCursor>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QListWidget>
#include <QUrl>

#include <algorithm>
#include <exception>

namespace {

constexpr int kUndoKey = (Qt::CTRL | Qt::Key_Z).toCombined();

CViewViewscreen* viewscreenOf(CViewDoc* document) {
    return document ? dynamic_cast<CViewViewscreen*>(document->GetView("Viewscreen")) : nullptr;
}

}   // namespace

void CReviewPanel::ShowLarge() {
    const std::string path = selectedFile();
    if (path.empty()) return;
    largeWanted_ = true;
    // The direction of travel: towards older pictures unless the last step went the other way.
    const int row = strip_->currentRow();
    const int travel = row < lastLargeRow_ ? -1 : 1;
    lastLargeRow_ = row;
    const auto along = [this, row](int by, int count) {
        std::vector<std::string> paths;
        for (int r = row + by; r >= 0 && r < strip_->count() && int(paths.size()) < count; r += by)
            if (!strip_->item(r)->isHidden())
                paths.push_back(
                    strip_->item(r)->data(reviewpanel::kPathRole).toByteArray().toStdString());
        return paths;
    };
    large_->Show(path, along(travel, LargeViewCache::kAhead),
                 along(-travel, LargeViewCache::kBehind),
                 strip_->currentItem()->data(reviewrole::Image).value<QImage>());
}

void CReviewPanel::ShowLive() {
    compare_->Hide();
    largeWanted_ = false;
    lastLargeRow_ = -1;
    large_->Hide();
}

bool CReviewPanel::comparing() const { return compare_->showing(); }

void CReviewPanel::ToggleCompare() {
    if (comparing()) compare_->Hide();
    else comparePair();
}

void CReviewPanel::comparePair() {
    std::vector<std::string> pair;
    const QList<QListWidgetItem*> selected = strip_->selectedItems();
    if (selected.size() == 2) {
        for (const QListWidgetItem* item : selected)
            pair.push_back(item->data(reviewpanel::kPathRole).toByteArray().toStdString());
        if (strip_->row(selected[0]) < strip_->row(selected[1])) std::swap(pair[0], pair[1]);
    } else if (const int row = strip_->currentRow(); row >= 0) {
        // The one before (older, further down the strip), else the newer one for the oldest.
        const int older = cull_->Step(row, 1), newer = cull_->Step(row, -1);
        const int other = older >= 0 ? older : newer;
        if (other < 0) return;
        const auto at = [this](int r) {
            return strip_->item(r)->data(reviewpanel::kPathRole).toByteArray().toStdString();
        };
        pair = other > row ? std::vector{at(other), at(row)} : std::vector{at(row), at(other)};
    }
    if (pair.size() == 2) compare_->Show(pair[0], pair[1]);   // the earlier on the left
}

void CReviewPanel::pictureSaved(const std::string& path) {
    if (!showNew_) return;
    large_->cache().Prefetch(path);   // decoding starts now, before the listing finds it
    emit newPictureSaved();           // the host brings the Review tab up from Normal
    if (!isVisible()) return;
    if (QListWidgetItem* item = itemFor(path)) {   // listed already
        strip_->setCurrentItem(item, QItemSelectionModel::ClearAndSelect);
        strip_->scrollToItem(item);
        ShowLarge();
        return;
    }
    newPicture_ = path;
    Rescan();
}

void CReviewPanel::Rate(std::optional<int> rating) {
    const std::vector<std::string> paths = selectedFiles();
    if (paths.empty()) return;
    folderWork_->Post([paths, rating, cache = ratingCache_](const std::atomic<bool>&) {
        Done done;
        done.what = Done::Rated;
        done.rating = rating;
        for (const std::string& path : paths) {
            const std::vector<std::string> files = picture::PairOf(path);
            std::string why;
            try {
                why = picture::WriteRating(files, rating);
            } catch (const std::exception& e) {   // whatever the sidecar is, the window hears why
                why = e.what();
            }
            if (!why.empty()) {
                done.failure += (done.failure.empty() ? "" : "; ") + why;
                continue;
            }
            for (const std::string& file : files) {
                cache->Wrote(file, rating);
                done.files.push_back(file);
            }
        }
        return done;
    });
    if (advance_ && paths.size() == 1) Step(lastStep_);
}

void CReviewPanel::MoveToTrash() {
    const std::vector<std::string> paths = selectedFiles();
    if (paths.empty()) return;
    trashed_ = true;
    CaptureNaming* naming = document_ ? &document_->naming() : nullptr;
    folderWork_->Post([paths, naming](const std::atomic<bool>&) {
        Done done;
        done.what = Done::Trashed;
        std::vector<std::string> files;
        for (const std::string& path : paths)
            for (std::string& file : picture::PairOf(path))
                if (std::find(files.begin(), files.end(), file) == files.end())
                    files.push_back(std::move(file));
        for (const std::string& file : files) {
            // The number stays taken while the picture is in the trash, so an undo finds it free.
            if (naming) naming->Hold(file);
            for (const std::string& f : {file, picture::SidecarFor(file)}) {
                if (f != file && !reviewpanel::regularFile(f)) continue;
                std::string trashed;
                const std::string why = trash::MoveToTrash(f, &trashed);
                if (why.empty()) done.moved.emplace_back(f, trashed);
                else done.failure += (done.failure.empty() ? "" : "; ") + why;
                if (!why.empty() && f == file && naming) naming->Unhold(file);
            }
        }
        return done;
    });
}

void CReviewPanel::UndoTrash() {
    if (undo_.empty()) return;
    trashed_ = true;   // the listing after shows the restored picture, large when one is shown
    CaptureNaming* naming = document_ ? &document_->naming() : nullptr;
    folderWork_->Post([moved = std::move(undo_.back()), naming](const std::atomic<bool>&) {
        Done done;
        done.what = Done::Restored;
        for (const auto& [from, to] : moved) {
            const std::string why = trash::RestoreFromTrash(to, from);
            if (why.empty()) done.moved.emplace_back(from, to);
            else done.failure += (done.failure.empty() ? "" : "; ") + why;
            if (why.empty() && naming) naming->Unhold(from);
        }
        return done;
    });
    undo_.pop_back();
}

void CReviewPanel::OpenWithDefault() {
    const std::string path = selectedFile();
    if (path.empty()) return;
    const QUrl url = QUrl::fromEncoded(
        "file://" + QUrl::toPercentEncoding(QByteArray::fromStdString(path), "/"));
    if (!QDesktopServices::openUrl(url))
        setStatus(QStringLiteral("No program opens ") + reviewpanel::shownName(path));
}

void CReviewPanel::Step(int by) {
    const int row = cull_->Step(strip_->currentRow(), by);   // the filter's hidden passed over
    if (row < 0) return;
    lastStep_ = by < 0 ? -1 : 1;
    strip_->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

ReviewCull* CReviewPanel::cull() const { return cull_; }

void CReviewPanel::rated(const std::string& file, std::optional<int> rating) {
    QListWidgetItem* item = itemFor(file);   // none: of a folder listed before
    if (item && cull_->SetRating(file, rating)) cull_->Apply(item);
}

void CReviewPanel::ratingsShown() {
    cull_->UpdateCount();
    // A picture the filter now hides gives its place to the next one shown.
    if (QListWidgetItem* item = strip_->currentItem(); item && item->isHidden())
        strip_->setCurrentRow(cull_->NearestShown(strip_->currentRow()),
                              QItemSelectionModel::ClearAndSelect);
}

void CReviewPanel::filtered() {
    ratingsShown();
    if (QListWidgetItem* item = strip_->currentItem()) strip_->scrollToItem(item);
    requestVisible();
}

void CReviewPanel::readOn() {
    folderWork_->Post([cache = ratingCache_, generation = generation_](const std::atomic<bool>&) {
        Done done;
        done.what = Done::ReadOn;
        done.generation = generation;
        done.changes = cache->ReadPending();
        done.more = cache->pending();
        return done;
    });
}

void CReviewPanel::pollRatings() {
    if (pollQueued_ || !isVisible()) return;
    pollQueued_ = true;
    std::vector<std::pair<std::string, std::string>> trashed;
    for (const auto& files : undo_) trashed.insert(trashed.end(), files.begin(), files.end());
    CaptureNaming* naming = document_ ? &document_->naming() : nullptr;
    folderWork_->Post(
        [cache = ratingCache_, trashed = std::move(trashed), naming](const std::atomic<bool>&) {
            Done done;
            done.what = Done::Polled;
            done.changes = cache->Poll();
            // A file emptied from the trash, or put back by another program, gives its number
            // free again.
            struct stat st {};
            for (const auto& [from, to] : trashed)
                if (::lstat(to.c_str(), &st) != 0) {
                    if (naming) naming->Unhold(from);
                    done.emptied.push_back(to);
                }
            return done;
        });
}

bool CReviewPanel::key(int key) {
    switch (key) {
        case Qt::Key_1:
        case Qt::Key_2:
        case Qt::Key_3:
        case Qt::Key_4:
        case Qt::Key_5: Rate(key - Qt::Key_0); return true;
        case Qt::Key_0: Rate(std::nullopt); return true;
        case Qt::Key_X: Rate(picture::kReject); return true;
        case Qt::Key_Left: Step(-1); return true;
        case Qt::Key_Right: Step(1); return true;
        case Qt::Key_Return:
        case Qt::Key_Enter: ShowLarge(); return true;
        case Qt::Key_Escape:
            if (comparing()) compare_->Hide();   // back to what was shown before
            else ShowLive();
            return true;
        case Qt::Key_C: ToggleCompare(); return true;
        case Qt::Key_Delete: MoveToTrash(); return true;
        case Qt::Key_Space: emit captureWanted(); return true;
        case Qt::Key_H: cull_->ToggleHideRejects(); return true;
        case kUndoKey: UndoTrash(); return true;
        case Qt::Key_Z:
            if (CViewViewscreen* screen = viewscreenOf(document_)) {
                // The point under the pointer, or the middle when the pointer is elsewhere.
                QWidget* live = screen->picture(CViewViewscreen::LivePicture);
                QPoint at = live->mapFromGlobal(QCursor::pos());
                if (!live->rect().contains(at)) at = live->rect().center();
                screen->ToggleActualSize(at);
            }
            return true;
        default: return false;
    }
}

bool CReviewPanel::eventFilter(QObject* watched, QEvent* event) {
    // The strip's own keys (the window's shortcuts take the rest first when the window is
    // active); its arrows up and down move by rows as a list does.
    if (watched == strip_ && event->type() == QEvent::KeyPress) {
        const auto* press = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = press->modifiers() & ~Qt::KeypadModifier;
        if (modifiers == Qt::ControlModifier && press->key() == Qt::Key_Z) {
            UndoTrash();
            return true;
        }
        if (modifiers == Qt::NoModifier && key(press->key())) return true;
    }
    return QWidget::eventFilter(watched, event);
}
