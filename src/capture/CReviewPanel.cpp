#include "capture/CReviewPanel.h"

#include "capture/CPictureControl.h"
#include "capture/CViewViewscreen.h"
#include "capture/PictureLoader.h"
#include "document/CViewDoc.h"
#include "picture/PictureList.h"
#include "picture/Sidecar.h"
#include "views/CViewInfo.h"

#include <QAction>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kLoadedRole = Qt::UserRole + 1;

QIcon placeholderIcon() {
    static const QIcon icon = [] {
        QPixmap grey(PictureLoader::kIconWidth, PictureLoader::kIconHeight);
        grey.fill(QColor(64, 64, 64));
        return QIcon(grey);
    }();
    return icon;
}

CViewViewscreen* viewscreenOf(CViewDoc* document) {
    return document ? dynamic_cast<CViewViewscreen*>(document->GetView("Viewscreen")) : nullptr;
}

CViewInfo* infoOf(CViewDoc* document) {
    return document ? dynamic_cast<CViewInfo*>(document->GetView("Info")) : nullptr;
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
    strip_->setSelectionMode(QAbstractItemView::SingleSelection);
    strip_->installEventFilter(this);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("reviewStatus"));

    const auto addAction = [this](const char* text, auto slot) {
        auto* action = new QAction(QString::fromLatin1(text), strip_);
        connect(action, &QAction::triggered, this, slot);
        strip_->addAction(action);
    };
    strip_->setContextMenuPolicy(Qt::ActionsContextMenu);
    addAction("Show Large", &CReviewPanel::ShowLarge);
    addAction("Open With Default Program", &CReviewPanel::OpenWithDefault);
    addAction("Move to Trash", &CReviewPanel::MoveToTrash);

    loader_ = new PictureLoader(this);
    loader_->onThumbnail = [this](const PictureLoader::Thumbnail& t) {
        QListWidgetItem* item = itemFor(t.path);
        if (!item) return;
        ratings_[t.path] = t.rating;
        const QString name = QFileInfo(t.path).fileName();
        item->setText(ItemText(name, t.rating, t.error));
        item->setToolTip(t.error.isEmpty() ? t.path : t.path + QStringLiteral("\n") + t.error);
        if (!t.icon.isNull()) item->setIcon(QIcon(QPixmap::fromImage(t.icon)));
        item->setData(kLoadedRole, true);
        remember(t.path);
    };
    loader_->onPicture = [this](const PictureLoader::Picture& p) {
        if (!largeWanted_) return;
        if (p.image.isNull()) {
            setStatus(QFileInfo(p.path).fileName() + QStringLiteral(" cannot be shown: ") +
                      p.error);
            return;
        }
        if (CViewViewscreen* screen = viewscreenOf(document_)) screen->ShowPicture(p.image);
        if (CViewInfo* info = infoOf(document_)) info->ShowPictureHistogram(p.histogram.get());
        emit pictureShown(p.path);
    };

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

    connect(strip_->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &CReviewPanel::requestVisible);
    connect(strip_, &QListWidget::itemActivated, this, &CReviewPanel::ShowLarge);
    connect(strip_, &QListWidget::currentRowChanged, this, [this] {
        if (largeWanted_) ShowLarge();
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

void CReviewPanel::setStatus(const QString& text) {
    status_->setText(text);
    if (document_ && !text.isEmpty()) document_->Log(text.toStdString() + "\r\n");
}

QString CReviewPanel::selectedPath() const {
    const QListWidgetItem* item = strip_->currentItem();
    return item ? item->data(kPathRole).toString() : QString();
}

QListWidgetItem* CReviewPanel::itemFor(const QString& path) const {
    const qsizetype row = paths_.indexOf(path);
    return row < 0 ? nullptr : strip_->item(static_cast<int>(row));
}

void CReviewPanel::checkFolder() {
    if (!document_) return;
    // Another folder or name, or a folder the watcher could not follow (created later).
    if (document_->captureFolder() != folder_ || document_->captureName() != name_ ||
        watcher_->directories().isEmpty())
        Rescan();
}

void CReviewPanel::Rescan() {
    const std::string folder = document_ ? document_->captureFolder() : std::string();
    const std::string name = document_ ? document_->captureName() : std::string();
    const bool sameList = folder == folder_ && name == name_;
    if (!sameList) {
        loader_->NewGeneration();
        if (!watcher_->directories().isEmpty()) watcher_->removePaths(watcher_->directories());
        const QString dir = QString::fromStdString(folder.empty() ? std::string(".") : folder);
        if (QFileInfo(dir).isDir()) watcher_->addPath(dir);
        folder_ = folder;
        name_ = name;
        ratings_.clear();
        loaded_.clear();
        newest_ = 0;
        listed_ = false;
    }
    const std::vector<picture::PictureEntry> entries = picture::ListPictures(folder, name);
    QStringList paths;
    paths.reserve(static_cast<qsizetype>(entries.size()));
    for (const auto& e : entries) paths.push_back(QString::fromStdString(e.path));
    if (paths == paths_ && sameList) return;

    const QString selected = selectedPath();
    const std::uint32_t newest = entries.empty() ? 0 : entries.front().number;
    const bool captured = listed_ && newest > newest_;   // a new picture arrived on top
    // Items of pictures still there keep their thumbnails; the rest are made afresh.
    const QSignalBlocker block(strip_);
    QHash<QString, QListWidgetItem*> kept;
    while (strip_->count() > 0) {
        QListWidgetItem* item = strip_->takeItem(0);
        kept.insert(item->data(kPathRole).toString(), item);
    }
    for (const QString& path : paths) {
        QListWidgetItem* item = kept.take(path);
        if (!item) {
            item = new QListWidgetItem(placeholderIcon(), QFileInfo(path).fileName());
            item->setData(kPathRole, path);
            item->setData(kLoadedRole, false);
            // Room for the name and the rating line under the thumbnail.
            item->setSizeHint(strip_->gridSize() - QSize(6, 4));
        }
        strip_->addItem(item);
    }
    qDeleteAll(kept);
    paths_ = paths;
    std::erase_if(loaded_, [&](const QString& p) { return !paths_.contains(p); });

    int row = static_cast<int>(paths_.indexOf(selected));
    if (captured || row < 0) row = paths_.isEmpty() ? -1 : 0;
    strip_->setCurrentRow(row);
    if (row >= 0) strip_->scrollToItem(strip_->item(row));
    newest_ = newest;
    listed_ = true;
    if (captured || (largeWanted_ && selectedPath() != selected)) ShowLive();
    requestVisible();
}

void CReviewPanel::requestVisible() {
    if (!isVisible()) return;
    const QRect sight = strip_->viewport()->rect();
    // What is in sight, then a screenful either side, so scrolling finds them ready.
    const QRect near = sight.adjusted(0, -sight.height(), 0, sight.height());
    for (int i = 0; i < strip_->count(); ++i) {
        QListWidgetItem* item = strip_->item(i);
        if (item->data(kLoadedRole).toBool()) continue;
        if (strip_->visualItemRect(item).intersects(near))
            loader_->RequestThumbnail(item->data(kPathRole).toString());
    }
}

void CReviewPanel::remember(const QString& path) {
    loaded_.push_back(path);
    const QRect sight = strip_->viewport()->rect();
    // Over the limit: the oldest thumbnails out of sight give their memory back.
    for (std::size_t tries = loaded_.size(); loaded_.size() > kCacheLimit && tries > 0; --tries) {
        const QString oldest = loaded_.front();
        loaded_.pop_front();
        QListWidgetItem* item = itemFor(oldest);
        if (item && strip_->visualItemRect(item).intersects(sight)) {
            loaded_.push_back(oldest);
            continue;
        }
        if (item) {
            item->setIcon(placeholderIcon());
            item->setData(kLoadedRole, false);
            // Room for the name and the rating line under the thumbnail.
            item->setSizeHint(strip_->gridSize() - QSize(6, 4));
        }
    }
}

void CReviewPanel::ShowLarge() {
    const QString path = selectedPath();
    if (path.isEmpty()) return;
    largeWanted_ = true;
    loader_->RequestPicture(path);
}

void CReviewPanel::ShowLive() {
    largeWanted_ = false;
    if (CViewViewscreen* screen = viewscreenOf(document_)) screen->ShowLive();
    if (CViewInfo* info = infoOf(document_)) info->ShowPictureHistogram(nullptr);
}

void CReviewPanel::Rate(std::optional<int> rating) {
    const QString path = selectedPath();
    if (path.isEmpty()) return;
    const std::vector<std::string> pair = picture::PairOf(path.toStdString());
    const std::string why = picture::WriteRating(pair, rating);
    if (!why.empty()) {
        setStatus(QStringLiteral("Rating not saved: ") + QString::fromStdString(why));
        return;
    }
    setStatus({});
    for (const std::string& file : pair) {
        const QString p = QString::fromStdString(file);
        ratings_[p] = rating;
        if (QListWidgetItem* item = itemFor(p))
            item->setText(ItemText(QFileInfo(p).fileName(), rating));
    }
}

void CReviewPanel::MoveToTrash() {
    const QString path = selectedPath();
    if (path.isEmpty()) return;
    // Qt's trash lives in the desktop's data folder; without that folder Qt 6.4 puts the files
    // in a "files" folder of the working directory instead.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty() || !QDir().mkpath(data)) {
        setStatus(QStringLiteral("Not moved to the trash: no data folder for it"));
        return;
    }
    QStringList failed;
    for (const std::string& file : picture::PairOf(path.toStdString())) {
        const QString p = QString::fromStdString(file);
        for (const QString& f : {p, QString::fromStdString(picture::SidecarPath(file))})
            if (QFileInfo::exists(f) && !QFile::moveToTrash(f)) failed << QFileInfo(f).fileName();
    }
    if (!failed.isEmpty())
        setStatus(QStringLiteral("Not moved to the trash: ") + failed.join(QStringLiteral(", ")));
    else setStatus({});
    const int row = strip_->currentRow();
    const bool large = largeWanted_;
    Rescan();
    // The next older picture takes the place of the one that went.
    if (strip_->count() > 0) strip_->setCurrentRow(std::min(row, strip_->count() - 1));
    if (large && strip_->count() > 0) ShowLarge();
    else if (large) ShowLive();
}

void CReviewPanel::OpenWithDefault() {
    const QString path = selectedPath();
    if (!path.isEmpty() && !QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        setStatus(QStringLiteral("No program opens ") + QFileInfo(path).fileName());
}

bool CReviewPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched != strip_ || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
        case Qt::Key_1:
        case Qt::Key_2:
        case Qt::Key_3:
        case Qt::Key_4:
        case Qt::Key_5: Rate(key->key() - Qt::Key_0); return true;
        case Qt::Key_0: Rate(std::nullopt); return true;
        case Qt::Key_X: Rate(picture::kReject); return true;
        case Qt::Key_Return:
        case Qt::Key_Enter: ShowLarge(); return true;
        case Qt::Key_Escape: ShowLive(); return true;
        case Qt::Key_Delete: MoveToTrash(); return true;
        case Qt::Key_Z:
            if (CViewViewscreen* screen = viewscreenOf(document_)) {
                // The point under the pointer, or the middle when the pointer is elsewhere.
                QWidget* live = screen->picture(CViewViewscreen::LivePicture);
                QPoint at = live->mapFromGlobal(QCursor::pos());
                if (!live->rect().contains(at)) at = live->rect().center();
                screen->ToggleActualSize(at);
            }
            return true;
        default: return QWidget::eventFilter(watched, event);
    }
}

void CReviewPanel::resizeEvent(QResizeEvent* event) {
    strip_->setGeometry(0, 0, width(), std::max(0, height() - 18));
    status_->setGeometry(0, std::max(0, height() - 16), width(), 16);
    QWidget::resizeEvent(event);
    requestVisible();
}

void CReviewPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Rescan();
    requestVisible();
}
