#include "capture/CReviewPanel.h"

#include "capture/LargeViewCache.h"
#include "capture/LargeViewer.h"
#include "capture/PictureLoader.h"
#include "capture/ReviewCompare.h"
#include "capture/ReviewCull.h"
#include "capture/ReviewPanelShared.h"
#include "capture/SavedPictureFeed.h"
#include "capture/SeriesGroups.h"
#include "document/CViewDoc.h"
#include "document/NamingFile.h"
#include "kit/Worker.h"
#include "picture/PictureList.h"
#include "picture/RatingCache.h"
#include "picture/Sidecar.h"

#include <QAction>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QScrollBar>
#include <QShortcut>
#include <QStringList>
#include <QTimer>

#include <algorithm>

namespace {

QIcon placeholderIcon() {
    static const QIcon icon = [] {
        QPixmap grey(PictureLoader::kIconWidth, PictureLoader::kIconHeight);
        grey.fill(QColor(64, 64, 64));
        return QIcon(grey);
    }();
    return icon;
}

}   // namespace

CReviewPanel::CReviewPanel(CViewDoc* document, QWidget* parent)
    : QWidget(parent), document_(document) {
    strip_ = new QListWidget(this);
    strip_->setObjectName(QStringLiteral("reviewStrip"));
    strip_->setViewMode(QListView::IconMode);
    strip_->setFlow(QListView::LeftToRight);
    strip_->setWrapping(true);
    strip_->setResizeMode(QListView::Adjust);
    strip_->setMovement(QListView::Static);
    strip_->setUniformItemSizes(true);
    strip_->setIconSize(QSize(PictureLoader::kIconWidth, PictureLoader::kIconHeight));
    strip_->setGridSize(QSize(PictureLoader::kIconWidth + 12, PictureLoader::kIconHeight + 40));
    strip_->setWordWrap(true);
    strip_->setSelectionMode(QAbstractItemView::ExtendedSelection);   // Ctrl, Shift: several
    strip_->installEventFilter(this);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("reviewStatus"));
    arrived_ = new QLabel(this);
    arrived_->setObjectName(QStringLiteral("reviewArrived"));
    arrived_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    const auto addAction = [this](const char* text, auto slot) {
        auto* action = new QAction(QString::fromLatin1(text), strip_);
        connect(action, &QAction::triggered, this, slot);
        strip_->addAction(action);
    };
    strip_->setContextMenuPolicy(Qt::ActionsContextMenu);
    addAction("Show Large", &CReviewPanel::ShowLarge);
    addAction("Open With Default Program", &CReviewPanel::OpenWithDefault);
    addAction("Move to Trash", &CReviewPanel::MoveToTrash);
    addAction("Compare", &CReviewPanel::ToggleCompare);
    // The keys act wherever the focus is in the window while the tab is shown (a click on the
    // large picture takes the focus, and a list of another pane must not take a rating).
    for (const int k : {Qt::Key_0, Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_5, Qt::Key_X,
                        Qt::Key_Z, Qt::Key_Left, Qt::Key_Right, Qt::Key_Escape, Qt::Key_Delete,
                        Qt::Key_Space, Qt::Key_H, Qt::Key_C}) {
        auto* shortcut = new QShortcut(QKeySequence(k), this);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(true);
        connect(shortcut, &QShortcut::activated, this, [this, k] { key(k); });
    }

    cull_ = new ReviewCull(strip_, this);
    new SeriesGroups(strip_, cull_, this);   // a series shows as one group with its count
    connect(cull_, &ReviewCull::filterChanged, this, &CReviewPanel::filtered);

    loader_ = new PictureLoader(this);
    loader_->onThumbnail = [this](const PictureLoader::Thumbnail& t) {
        QListWidgetItem* item = itemFor(t.path);
        if (!item) return;
        const QString path = reviewpanel::shown(t.path);
        item->setToolTip(t.error.isEmpty() ? path : path + QStringLiteral("\n") + t.error);
        item->setData(reviewrole::Error, t.error);
        item->setData(reviewrole::Image, t.icon);
        item->setData(reviewpanel::kLoadedRole, true);
        cull_->Apply(item);   // the rating is the listing's, read with the sidecar's changes
        remember(t.path);
    };
    large_ = new LargeViewer(document_, this);
    large_->onShown = [this](const std::string& path) {
        emit pictureShown(reviewpanel::shown(path));
    };
    large_->onStandIn = [this](const std::string& path) {
        emit standInShown(reviewpanel::shown(path));
    };
    compare_ = new ReviewCompare(document_, large_->cache(), this);
    compare_->onSideShown = [this](const std::string& path, bool whole) {
        emit compareSideShown(reviewpanel::shown(path), whole);
    };
    large_->onFailed = [this](const std::string& path, const QString& why) {
        if (path == selectedFile()) setStatus(why);   // not about a picture passed on the way
    };
    saved_ = new SavedPictureFeed(
        document_, [this](const std::string& path) { pictureSaved(path); }, this);
    ratingCache_ = std::make_shared<picture::RatingCache>();
    folderWork_ = std::make_unique<Worker<Done>>([this](Done& done) { finished(done); });

    watcher_ = new QFileSystemWatcher(this);
    debounce_ = new QTimer(this);
    debounce_->setSingleShot(true);
    debounce_->setInterval(150);   // a burst of files is listed once
    connect(debounce_, &QTimer::timeout, this, &CReviewPanel::Rescan);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, debounce_,
            qOverload<>(&QTimer::start));
    folderCheck_ = new QTimer(this);
    folderCheck_->setInterval(1000);
    connect(folderCheck_, &QTimer::timeout, this, &CReviewPanel::checkFolder);
    folderCheck_->start();
    // A rating another program changes in a sidecar shows within a second.
    auto* ratingCheck = new QTimer(this);
    ratingCheck->setInterval(kRatingCheckMs);
    connect(ratingCheck, &QTimer::timeout, this, &CReviewPanel::pollRatings);
    ratingCheck->start();

    connect(strip_->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &CReviewPanel::requestVisible);
    connect(strip_, &QListWidget::itemActivated, this, &CReviewPanel::ShowLarge);
    connect(strip_, &QListWidget::currentRowChanged, this, [this] {
        setStatus({});   // the line was about the picture left
        if (largeWanted_) ShowLarge();
        if (comparing()) comparePair();
        countArrivals();
    });
    connect(strip_, &QListWidget::itemSelectionChanged, this, [this] {
        if (comparing()) comparePair();
    });
    Rescan();
}

CReviewPanel::~CReviewPanel() = default;

QString CReviewPanel::ItemText(const QString& fileName, std::optional<int> rating,
                               const QString& error) {
    QString second;
    if (!error.isEmpty()) second = error;
    else if (rating && *rating == picture::kReject) second = QStringLiteral("Rejected");
    else if (rating && *rating > 0)
        second = QString(std::min(*rating, 5), QChar(0x2605)) +
                 QString(5 - std::min(*rating, 5), QChar(0x2606));
    return second.isEmpty() ? fileName : fileName + QStringLiteral("\n") + second;
}

QString CReviewPanel::status() const { return status_->text(); }

QString CReviewPanel::arrived() const { return arrived_->text(); }

void CReviewPanel::setStatus(const QString& text) {
    status_->setText(text);
    if (document_ && !text.isEmpty()) document_->Log(text.toStdString() + "\r\n");
}

QString CReviewPanel::selectedPath() const { return reviewpanel::shown(selectedFile()); }

std::string CReviewPanel::selectedFile() const {
    const QListWidgetItem* item = strip_->currentItem();
    return item ? item->data(reviewpanel::kPathRole).toByteArray().toStdString() : std::string();
}

std::vector<std::string> CReviewPanel::selectedFiles() const {
    std::vector<std::pair<int, std::string>> rows;
    for (const QListWidgetItem* item : strip_->selectedItems())
        if (!item->isHidden())
            rows.emplace_back(strip_->row(item),
                              item->data(reviewpanel::kPathRole).toByteArray().toStdString());
    std::sort(rows.begin(), rows.end());
    std::vector<std::string> out;
    for (auto& [row, path] : rows) out.push_back(std::move(path));
    if (out.empty() && !selectedFile().empty()) out.push_back(selectedFile());
    return out;
}

QStringList CReviewPanel::selectedPaths() const {
    QStringList out;
    for (const std::string& path : selectedFiles()) out << reviewpanel::shown(path);
    return out;
}

QListWidgetItem* CReviewPanel::itemFor(const std::string& path) const {
    const auto found = items_.find(cull_->ItemOf(path));   // a pair's RAW: its JPEG's item
    return found == items_.end() ? nullptr : found->second;
}

QListWidgetItem* CReviewPanel::newItem(const picture::PictureEntry& entry) const {
    auto* item = new QListWidgetItem(placeholderIcon(), reviewpanel::shown(entry.fileName));
    item->setData(reviewpanel::kPathRole, QByteArray::fromStdString(entry.path));
    item->setData(reviewpanel::kLoadedRole, false);
    // Room for the name and the rating line under the thumbnail.
    item->setSizeHint(strip_->gridSize() - QSize(6, 4));
    return item;
}

std::string CReviewPanel::namingKey() const {
    // What decides which files are pictures: the capture name, and the template and job the
    // document publishes for the listing.
    const NamingSettings naming = PublishedNaming();
    return document_->captureName() + '\n' + naming.nameTemplate + '\n' + naming.job;
}

void CReviewPanel::checkFolder() {
    if (!document_) return;
    // Another folder, name, template or job, or a folder the watcher could not follow (created
    // later).
    if (document_->captureFolder() != folder_ || namingKey() != name_ ||
        watcher_->directories().isEmpty())
        Rescan();
}

void CReviewPanel::Rescan() {
    const std::string folder = document_ ? document_->captureFolder() : std::string();
    const std::string name = document_ ? document_->captureName() : std::string();
    const std::string key = document_ ? namingKey() : std::string();
    if (folder != folder_ || key != name_ || generation_ == 0) {
        ++generation_;
        loader_->NewGeneration();
        compare_->Hide();   // its pictures were another folder's
        large_->cache().Clear();
        if (!watcher_->directories().isEmpty()) watcher_->removePaths(watcher_->directories());
        const QString dir = reviewpanel::shown(folder.empty() ? std::string(".") : folder);
        if (QFileInfo(dir).isDir()) watcher_->addPath(dir);
        folder_ = folder;
        name_ = key;
        {
            const QSignalBlocker block(strip_);
            strip_->clear();
        }
        items_.clear();
        cull_->ForgetAll();
        entries_.clear();
        loaded_.clear();
        setStatus({});
        newest_ = seen_ = 0;
        listed_ = false;
        arrived_->clear();
    }
    // One listing at a time; a wish meanwhile is one more after it.
    if (scanQueued_) {
        scanAgain_ = true;
        return;
    }
    scanQueued_ = true;
    folderWork_->Post(
        [folder, name, generation = generation_, cache = ratingCache_](const std::atomic<bool>&) {
            Done done;
            done.what = Done::Listed;
            done.generation = generation;
            done.entries = picture::ListPictures(folder, name);
            done.ratings = cache->Refresh(done.entries);   // a pair's RAW's too
            done.more = cache->pending();
            for (picture::FoldedPicture& p : picture::FoldPairs(done.entries))
                if (!p.others.empty()) done.pairs.emplace(p.lead.path, std::move(p.others));
            return done;
        });
}

void CReviewPanel::finished(Done& done) {
    switch (done.what) {
        case Done::Listed:
            scanQueued_ = false;
            if (done.generation == generation_)
                listed(std::move(done.entries), std::move(done.ratings), std::move(done.pairs));
            if (done.more && done.generation == generation_) readOn();
            if (scanAgain_) {
                scanAgain_ = false;
                Rescan();
            }
            return;
        case Done::Rated:
            setStatus(done.failure.empty() ? QString()
                                           : QStringLiteral("Rating not saved: ") +
                                                 reviewpanel::shown(done.failure));
            for (const std::string& file : done.files) rated(file, done.rating);
            ratingsShown();
            return;
        case Done::ReadOn:
            if (done.generation != generation_) return;
            for (const auto& [file, rating] : done.changes) rated(file, rating);
            if (!done.changes.empty()) ratingsShown();
            if (done.more) readOn();
            return;
        case Done::Polled:
            pollQueued_ = false;
            for (const auto& [file, rating] : done.changes) rated(file, rating);
            if (!done.changes.empty()) ratingsShown();
            for (auto& files : undo_)
                std::erase_if(files, [&done](const auto& moved) {
                    return std::find(done.emptied.begin(), done.emptied.end(), moved.second) !=
                           done.emptied.end();
                });
            std::erase_if(undo_, [](const auto& files) { return files.empty(); });
            return;
        case Done::Trashed:
        case Done::Restored: {
            const bool restored = done.what == Done::Restored;
            if (!done.failure.empty())
                setStatus((restored ? QStringLiteral("Not restored from the trash: ")
                                    : QStringLiteral("Not moved to the trash: ")) +
                          reviewpanel::shown(done.failure));
            else setStatus({});
            QStringList pictures;
            for (const auto& [from, to] : done.moved)
                if (!from.ends_with(".xmp")) pictures << reviewpanel::shownName(from);
            // One line for all the pictures a Delete (or its undo) took: "A, B and C".
            const QString names =
                pictures.size() < 2
                    ? pictures.join(QString())
                    : pictures.mid(0, pictures.size() - 1).join(QStringLiteral(", ")) +
                          QStringLiteral(" and ") + pictures.last();
            if (!pictures.isEmpty() && document_)
                document_->Log((restored ? "Restored " : "Moved ") + names.toStdString() +
                               (restored ? " from the trash\r\n" : " to the trash\r\n"));
            if (done.moved.empty()) trashed_ = false;   // nothing went: no place to take
            if (!restored && !done.moved.empty()) undo_.push_back(std::move(done.moved));
            if (restored && !pictures.isEmpty()) select_ = done.moved.front().first;
            Rescan();
            return;
        }
    }
}

void CReviewPanel::listed(std::vector<picture::PictureEntry> entries,
                          std::vector<std::optional<int>> ratings,
                          std::unordered_map<std::string, std::vector<std::string>> pairs) {
    cull_->SetPairs(std::move(pairs));   // a RAW+JPEG pair is one item, its JPEG's
    bool ratingsMoved = false;
    for (std::size_t k = 0; k < entries.size() && k < ratings.size(); ++k)
        if (cull_->SetRating(entries[k].path, ratings[k]))
            if (QListWidgetItem* item = itemFor(entries[k].path)) {
                cull_->Apply(item);
                ratingsMoved = true;
            }
    std::erase_if(entries, [this](const auto& e) { return cull_->ItemOf(e.path) != e.path; });
    if (listed_ && entries == entries_) {
        if (ratingsMoved) ratingsShown();
        return;
    }
    const std::string selected = selectedFile();
    // The place of the selected picture, should it go: the next older one takes it.
    const auto selectedAt = std::find_if(entries_.begin(), entries_.end(),
                                         [&](const auto& e) { return e.path == selected; });
    const std::optional<picture::PictureEntry> selectedEntry =
        selectedAt == entries_.end() ? std::nullopt : std::optional(*selectedAt);
    const std::uint32_t newest = entries.empty() ? 0 : entries.front().number;
    const bool captured = listed_ && newest > newest_;   // a new picture arrived on top
    const QSignalBlocker block(strip_);
    // Both lists are in the strip's order: the items of pictures still there stay as they are
    // (thumbnails and all), the others are taken out or put in at their place.
    std::size_t i = 0, j = 0;
    int row = 0;
    while (i < entries_.size() || j < entries.size()) {
        if (j == entries.size() ||
            (i < entries_.size() && reviewpanel::before(entries_[i], entries[j]))) {
            large_->cache().Forget(entries_[i].path);   // a file of that name is another picture
            cull_->Forget(entries_[i].path);
            items_.erase(entries_[i++].path);
            delete strip_->takeItem(row);
        } else if (i == entries_.size() || reviewpanel::before(entries[j], entries_[i])) {
            QListWidgetItem* item = newItem(entries[j]);
            items_[entries[j++].path] = item;
            strip_->insertItem(row++, item);
            cull_->Apply(item);
        } else {
            ++i, ++j, ++row;
        }
    }
    entries_ = std::move(entries);
    std::erase_if(loaded_, [this](const std::string& p) { return !items_.contains(p); });

    // A capture leaves the review where it is; the count under the strip says what arrived.
    // With "Show Each New Picture" the newest saved one is selected and shown large.
    QListWidgetItem* fresh = newPicture_.empty() ? nullptr : itemFor(newPicture_);
    if (fresh) newPicture_.clear();
    QListWidgetItem* still = fresh ? fresh : itemFor(select_.empty() ? selected : select_);
    if (still && !fresh) select_.clear();
    int current = still ? strip_->row(still) : -1;
    const bool gone = !still && selectedEntry;   // a Delete's, or another program took it
    if (current < 0) {
        current = entries_.empty() ? -1 : 0;
        // The next older picture takes the place of the one that went.
        if (gone && !entries_.empty()) {
            const auto older = std::find_if(entries_.begin(), entries_.end(), [&](const auto& e) {
                return reviewpanel::before(*selectedEntry, e);
            });
            current = static_cast<int>(std::min<std::ptrdiff_t>(
                older - entries_.begin(), static_cast<std::ptrdiff_t>(entries_.size()) - 1));
        }
    }
    current = cull_->NearestShown(current);
    // The selection stays as it is while its current picture does.
    if (current != strip_->currentRow() || (current >= 0 && !strip_->item(current)->isSelected()))
        strip_->setCurrentRow(current, QItemSelectionModel::ClearAndSelect);
    if (current >= 0 && !captured) strip_->scrollToItem(strip_->item(current));
    if (!listed_) seen_ = newest;
    if (captured) setStatus({});
    newest_ = newest;
    listed_ = true;
    const bool moved = selectedFile() != selected;
    // A RAW shown alone until its JPEG arrived: the same picture, now the JPEG's.
    const bool samePicture = moved && cull_->ItemOf(selected) == selectedFile();
    if (fresh) {
        strip_->scrollToItem(fresh);
        ShowLarge();
    } else if ((trashed_ || gone) && moved && largeWanted_) {
        trashed_ = false;
        if (current >= 0) ShowLarge();
        else ShowLive();
    } else if (largeWanted_ && samePicture) {
        setStatus({});   // the line was about the RAW alone
        ShowLarge();
    } else if (largeWanted_ && moved) {
        ShowLive();
    }
    if (moved) trashed_ = false;
    cull_->UpdateCount();
    countArrivals();
    requestVisible();
}

void CReviewPanel::countArrivals() {
    if (const QListWidgetItem* item = strip_->currentItem()) {
        const auto at = std::find_if(entries_.begin(), entries_.end(), [item](const auto& e) {
            return e.path == item->data(reviewpanel::kPathRole).toByteArray().toStdString();
        });
        if (at != entries_.end()) seen_ = std::max(seen_, at->number);
    }
    // Pictures (numbers, a pair counting once) newer than any the user has stepped to.
    int count = 0;
    std::uint32_t last = 0;
    for (const picture::PictureEntry& e : entries_) {
        if (e.number <= seen_) break;
        if (count == 0 || e.number != last) ++count;
        last = e.number;
    }
    arrived_->setText(count == 0   ? QString()
                      : count == 1 ? QStringLiteral("1 new picture")
                                   : QStringLiteral("%1 new pictures").arg(count));
}

void CReviewPanel::requestVisible() {
    if (!isVisible() || strip_->count() == 0) return;
    const QRect sight = strip_->viewport()->rect();
    // What is in sight, then a screenful either side, so scrolling finds them ready. The rows
    // run down the strip: the first near is found by halving, the rest follow it.
    const QRect near = sight.adjusted(0, -sight.height(), 0, sight.height());
    int first = 0, past = strip_->count();
    while (first < past) {
        const int middle = first + (past - first) / 2;
        if (strip_->visualItemRect(strip_->item(middle)).bottom() < near.top()) first = middle + 1;
        else past = middle;
    }
    for (int i = first; i < strip_->count(); ++i) {
        QListWidgetItem* item = strip_->item(i);
        const QRect rect = strip_->visualItemRect(item);
        if (rect.top() > near.bottom()) break;
        if (!item->data(reviewpanel::kLoadedRole).toBool() && rect.intersects(near))
            loader_->RequestThumbnail(
                item->data(reviewpanel::kPathRole).toByteArray().toStdString());
    }
}

void CReviewPanel::remember(const std::string& path) {
    loaded_.push_back(path);
    const QRect sight = strip_->viewport()->rect();
    // Over the limit: the oldest thumbnails out of sight give their memory back.
    for (std::size_t tries = loaded_.size(); loaded_.size() > kCacheLimit && tries > 0; --tries) {
        const std::string oldest = loaded_.front();
        loaded_.pop_front();
        QListWidgetItem* item = itemFor(oldest);
        if (item && strip_->visualItemRect(item).intersects(sight)) {
            loaded_.push_back(oldest);
            continue;
        }
        if (item) {
            item->setData(reviewrole::Image, QImage());
            cull_->Apply(item);   // the stand-in, with the marks
            item->setData(reviewpanel::kLoadedRole, false);
            // Room for the name and the rating line under the thumbnail.
            item->setSizeHint(strip_->gridSize() - QSize(6, 4));
        }
    }
}

void CReviewPanel::resizeEvent(QResizeEvent* event) {
    cull_->Place(0, 0, width());
    strip_->setGeometry(0, ReviewCull::kBarHeight, width(),
                        std::max(0, height() - 18 - ReviewCull::kBarHeight));
    status_->setGeometry(0, std::max(0, height() - 16), width() * 3 / 4, 16);
    arrived_->setGeometry(width() * 3 / 4, std::max(0, height() - 16), width() / 4, 16);
    QWidget::resizeEvent(event);
    requestVisible();
}

void CReviewPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Rescan();
    requestVisible();
}
