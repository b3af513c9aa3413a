#include "capture/SeriesGroups.h"

#include "capture/ReviewCull.h"
#include "kit/Worker.h"
#include "picture/SeriesCache.h"

#include <QAction>
#include <QListWidget>
#include <QTimer>

#include <map>

std::unordered_map<std::string, GroupMark> GroupSeries(
    const std::vector<std::string>& paths,
    const std::vector<std::optional<picture::SeriesKeyword>>& series,
    const std::set<SeriesId>& expanded) {
    std::map<SeriesId, std::vector<std::size_t>> members;
    for (std::size_t i = 0; i < paths.size() && i < series.size(); ++i)
        if (series[i]) members[IdOf(*series[i])].push_back(i);
    std::unordered_map<std::string, GroupMark> out;
    for (const auto& [id, rows] : members) {
        if (rows.size() < 2) continue;
        const bool open = expanded.count(id) > 0;
        for (std::size_t k = 0; k < rows.size(); ++k) {
            GroupMark mark;
            if (k == 0) mark.count = static_cast<int>(rows.size());
            mark.hidden = !open && k > 0;
            mark.expanded = open;
            out[paths[rows[k]]] = mark;
        }
    }
    return out;
}

struct SeriesGroups::Looked {
    std::vector<std::string> paths;
    std::vector<std::optional<picture::SeriesKeyword>> series;
    bool more = false;
};

SeriesGroups::SeriesGroups(QListWidget* strip, ReviewCull* cull, QObject* parent)
    : QObject(parent),
      strip_(strip),
      cull_(cull),
      cache_(std::make_shared<picture::SeriesCache>()) {
    worker_ = std::make_unique<Worker<Looked>>([this](Looked& result) { looked(result); });
    soon_ = new QTimer(this);
    soon_->setSingleShot(true);
    soon_->setInterval(100);
    connect(soon_, &QTimer::timeout, this, &SeriesGroups::Refresh);
    check_ = new QTimer(this);
    check_->setInterval(kCheckMs);
    connect(check_, &QTimer::timeout, this, [this] {
        if (strip_->isVisible()) Refresh();
    });
    check_->start();
    QAbstractItemModel* model = strip_->model();
    connect(model, &QAbstractItemModel::rowsInserted, soon_, qOverload<>(&QTimer::start));
    connect(model, &QAbstractItemModel::rowsRemoved, soon_, qOverload<>(&QTimer::start));
    connect(model, &QAbstractItemModel::modelReset, soon_, qOverload<>(&QTimer::start));
    toggle_ = new QAction(QStringLiteral("Expand Series"), strip_);
    toggle_->setObjectName(QStringLiteral("reviewExpandSeries"));
    toggle_->setShortcut(QKeySequence(Qt::Key_E));
    toggle_->setShortcutContext(Qt::WidgetShortcut);
    connect(toggle_, &QAction::triggered, this, &SeriesGroups::ToggleSelected);
    strip_->addAction(toggle_);
    connect(strip_, &QListWidget::currentItemChanged, this, [this] {
        const auto series =
            strip_->currentItem()
                ? seriesOf(
                      strip_->currentItem()->data(reviewrole::Path).toByteArray().toStdString())
                : std::nullopt;
        toggle_->setText(series && expanded_.count(IdOf(*series))
                             ? QStringLiteral("Collapse Series")
                             : QStringLiteral("Expand Series"));
    });
}

SeriesGroups::~SeriesGroups() = default;

std::optional<picture::SeriesKeyword> SeriesGroups::seriesOf(const std::string& path) const {
    for (std::size_t i = 0; i < paths_.size() && i < series_.size(); ++i)
        if (paths_[i] == path) return series_[i];
    return std::nullopt;
}

void SeriesGroups::Refresh() {
    if (queued_) {
        again_ = true;
        return;
    }
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(strip_->count()));
    for (int i = 0; i < strip_->count(); ++i)
        paths.push_back(strip_->item(i)->data(reviewrole::Path).toByteArray().toStdString());
    queued_ = true;
    worker_->Post([paths = std::move(paths), cache = cache_](const std::atomic<bool>&) {
        Looked result;
        result.series = cache->Refresh(paths);
        result.more = cache->pending();
        result.paths = paths;
        return result;
    });
}

void SeriesGroups::looked(Looked& result) {
    queued_ = false;
    const bool changed = result.paths != paths_ || result.series != series_;
    paths_ = std::move(result.paths);
    series_ = std::move(result.series);
    if (changed) apply();
    if (again_ || result.more) {
        again_ = false;
        Refresh();
    }
}

void SeriesGroups::ToggleSelected() {
    QListWidgetItem* item = strip_->currentItem();
    if (!item) return;
    const auto series = seriesOf(item->data(reviewrole::Path).toByteArray().toStdString());
    if (!series) return;
    const SeriesId id = IdOf(*series);
    if (!expanded_.erase(id)) expanded_.insert(id);
    apply();
    toggle_->setText(expanded_.count(id) ? QStringLiteral("Collapse Series")
                                         : QStringLiteral("Expand Series"));
    if (!expanded_.count(id)) {
        // Folded: the group's head takes the selection.
        const auto marks = GroupSeries(paths_, series_, expanded_);
        for (int i = 0; i < strip_->count(); ++i) {
            const auto found =
                marks.find(strip_->item(i)->data(reviewrole::Path).toByteArray().toStdString());
            if (found != marks.end() && found->second.count > 0 && seriesOf(found->first) &&
                IdOf(*seriesOf(found->first)) == id) {
                strip_->setCurrentRow(i);
                break;
            }
        }
    }
}

void SeriesGroups::apply() {
    cull_->SetGroups(GroupSeries(paths_, series_, expanded_));
    // A selected picture folded into its group (a newer one of its series arrived): the nearest
    // shown one takes the selection.
    const int row = strip_->currentRow();
    if (row >= 0 && strip_->item(row)->isHidden()) {
        const int shown = cull_->NearestShown(row);
        if (shown >= 0) strip_->setCurrentRow(shown);
    }
    emit grouped();
}
