#include "capture/ReviewCull.h"

#include "capture/CReviewPanel.h"
#include "picture/ClientPicks.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>

ReviewCull::ReviewCull(QListWidget* strip, QWidget* parent) : QObject(parent), strip_(strip) {
    menu_ = new QComboBox(parent);
    menu_->setObjectName(QStringLiteral("reviewFilter"));
    menu_->setFocusPolicy(Qt::ClickFocus);
    for (int i = 0; i < picture::kCullFilterCount; ++i)
        menu_->addItem(
            QString::fromStdString(picture::FilterText(static_cast<picture::CullFilter>(i))));
    menu_->setToolTip(QStringLiteral("Which pictures the strip shows (H: Hide Rejects)"));
    count_ = new QLabel(parent);
    count_->setObjectName(QStringLiteral("reviewShown"));
    connect(menu_, &QComboBox::activated, this,
            [this](int index) { SetFilter(static_cast<picture::CullFilter>(index)); });
}

void ReviewCull::Place(int x, int y, int width) {
    menu_->setGeometry(x, y, std::min(width / 2, 140), kBarHeight - 2);
    count_->setGeometry(x + std::min(width / 2, 140) + 8, y, std::max(0, width / 2),
                        kBarHeight - 2);
}

void ReviewCull::SetFilter(picture::CullFilter filter) {
    menu_->setCurrentIndex(static_cast<int>(filter));
    if (filter == filter_) return;
    filter_ = filter;
    ApplyAll();
    emit filterChanged();
}

void ReviewCull::ToggleHideRejects() { SetFilter(picture::ToggleHideRejects(filter_)); }

QString ReviewCull::count() const { return count_->text(); }

std::optional<int> ReviewCull::rating(const std::string& path) const {
    const auto own = [this](const std::string& file) {
        const auto found = ratings_.find(file);
        return found == ratings_.end() ? std::nullopt : found->second;
    };
    if (const std::optional<int> jpeg = own(path)) return jpeg;
    // A pair's JPEG without a rating shows its RAW's (another program rated that one alone).
    if (const auto pair = pairs_.find(path); pair != pairs_.end())
        for (const std::string& raw : pair->second)
            if (const std::optional<int> stars = own(raw)) return stars;
    return std::nullopt;
}

bool ReviewCull::SetRating(const std::string& path, std::optional<int> value) {
    const std::string& item = ItemOf(path);
    const std::optional<int> before = rating(item);
    const auto [at, added] = ratings_.try_emplace(path, value);
    if (added && item == path) return true;   // an item not marked yet
    at->second = value;
    const auto marked = picks_.find(item);
    const bool pickMoved = marked != picks_.end() && marked->second != picked(item);
    return rating(item) != before || pickMoved;
}

void ReviewCull::SetPairs(std::unordered_map<std::string, std::vector<std::string>> pairs) {
    std::swap(pairs_, pairs);   // pairs: those before
    if (pairs == pairs_) return;
    jpegOf_.clear();
    for (const auto& [jpeg, raws] : pairs_)
        for (const std::string& raw : raws) jpegOf_.emplace(raw, jpeg);
    // A RAW no longer in a pair is an item of its own again, or gone.
    for (const auto& [jpeg, raws] : pairs)
        for (const std::string& raw : raws)
            if (!jpegOf_.contains(raw)) ratings_.erase(raw);
    static const std::vector<std::string> none;
    const auto rawsOf = [](const auto& map, const std::string& jpeg) -> const auto& {
        const auto found = map.find(jpeg);
        return found == map.end() ? none : found->second;
    };
    for (int i = 0; i < strip_->count(); ++i) {
        QListWidgetItem* item = strip_->item(i);
        const std::string path = item->data(reviewrole::Path).toByteArray().toStdString();
        if (rawsOf(pairs, path) != rawsOf(pairs_, path)) Apply(item);
    }
}

const std::string& ReviewCull::ItemOf(const std::string& path) const {
    const auto found = jpegOf_.find(path);
    return found == jpegOf_.end() ? path : found->second;
}

bool ReviewCull::picked(const std::string& path) const {
    const picture::ClientPicks& picks = picture::ClientPicks::Shared();
    if (picks.Picked(path)) return true;
    if (const auto pair = pairs_.find(path); pair != pairs_.end())
        for (const std::string& raw : pair->second)
            if (picks.Picked(raw)) return true;
    return false;
}

void ReviewCull::Forget(const std::string& path) {
    picks_.erase(path);
    if (!jpegOf_.contains(path)) ratings_.erase(path);   // a RAW now in a pair keeps its rating
}

void ReviewCull::ForgetAll() {
    ratings_.clear();
    picks_.clear();
    pairs_.clear();
    jpegOf_.clear();
    UpdateCount();
}

void ReviewCull::SetGroups(std::unordered_map<std::string, GroupMark> groups) {
    std::swap(groups_, groups);   // groups: the marks before
    for (int i = 0; i < strip_->count(); ++i) {
        QListWidgetItem* item = strip_->item(i);
        const std::string path = item->data(reviewrole::Path).toByteArray().toStdString();
        const auto was = groups.find(path);
        if (group(path) != (was == groups.end() ? GroupMark{} : was->second)) Apply(item);
    }
    UpdateCount();
}

GroupMark ReviewCull::group(const std::string& path) const {
    const auto found = groups_.find(path);
    return found == groups_.end() ? GroupMark{} : found->second;
}

void ReviewCull::Apply(QListWidgetItem* item) {
    const std::string path = item->data(reviewrole::Path).toByteArray().toStdString();
    const std::optional<int> stars = rating(path);
    const QByteArray bytes = QByteArray::fromStdString(path);
    const QString name = QFile::decodeName(bytes.mid(bytes.lastIndexOf('/') + 1));
    // A rating given to a file that cannot be shown is written under it in place of why.
    item->setText(CReviewPanel::ItemText(
        name, stars, stars ? QString() : item->data(reviewrole::Error).toString()));
    const QImage image = item->data(reviewrole::Image).value<QImage>();
    const bool pick = picked(path);
    picks_[path] = pick;
    const GroupMark mark = group(path);
    item->setIcon(
        MarkedIcon(image, ThumbnailMarks{stars, pick, mark.count, mark.expanded, paired(path)}));
    const bool hidden = !picture::Passes(filter_, stars) || mark.hidden;
    if (item->isHidden() != hidden) item->setHidden(hidden);
}

void ReviewCull::ApplyAll() {
    for (int i = 0; i < strip_->count(); ++i) {
        QListWidgetItem* item = strip_->item(i);
        const std::string path = item->data(reviewrole::Path).toByteArray().toStdString();
        const bool hidden = !picture::Passes(filter_, rating(path)) || group(path).hidden;
        if (item->isHidden() != hidden) item->setHidden(hidden);
    }
    UpdateCount();
}

void ReviewCull::UpdateCount() {
    if (filter_ == picture::CullFilter::All) {
        count_->clear();
        return;
    }
    int shown = 0;
    for (int i = 0; i < strip_->count(); ++i) shown += strip_->item(i)->isHidden() ? 0 : 1;
    count_->setText(QString::fromStdString(picture::ShownCount(
        static_cast<std::size_t>(shown), static_cast<std::size_t>(strip_->count()))));
}

int ReviewCull::Step(int row, int by) const {
    const int direction = by < 0 ? -1 : 1;
    for (int left = std::abs(by), at = row; left > 0;) {
        at += direction;
        if (at < 0 || at >= strip_->count()) return -1;
        if (!strip_->item(at)->isHidden() && --left == 0) return at;
    }
    return by == 0 ? row : -1;
}

int ReviewCull::NearestShown(int row) const {
    if (row >= 0 && row < strip_->count() && !strip_->item(row)->isHidden()) return row;
    const int older = Step(row, 1);
    return older >= 0 ? older : Step(std::min(row, strip_->count()), -1);
}
