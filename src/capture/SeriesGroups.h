// The Review strip's series groups: the pictures of one bracket or focus stack (their sidecars'
// series keyword) show as one thumbnail, the newest, with the series' count on it; "Expand
// Series" (E, or the strip's menu) shows each of them, "Collapse Series" folds them again. The
// keywords are read on a worker of the groups' own (picture::SeriesCache), when the strip's items
// change and once a second while it is shown (a keyword is written just after its picture).
// Window thread; the grouping itself is the pure GroupSeries.
#pragma once

#include "picture/SeriesKeyword.h"

#include <QObject>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class QAction;
class QListWidget;
class QTimer;
class ReviewCull;
namespace picture {
class SeriesCache;
}
template <class Result>
class Worker;

// How a picture stands in its series group on the strip.
struct GroupMark {
    int count = 0;           // the group's head (its newest picture): pictures in the group
    bool hidden = false;     // a picture of a folded group other than its head
    bool expanded = false;   // a picture of a group shown whole
    bool operator==(const GroupMark&) const = default;
};

// A series: its kind and number.
using SeriesId = std::pair<int, int>;
inline SeriesId IdOf(const picture::SeriesKeyword& k) {
    return {static_cast<int>(k.kind), k.series};
}

// The marks of the pictures (in the strip's order, newest first) whose series has two pictures
// or more, by path; expanded: the series shown whole.
std::unordered_map<std::string, GroupMark> GroupSeries(
    const std::vector<std::string>& paths,
    const std::vector<std::optional<picture::SeriesKeyword>>& series,
    const std::set<SeriesId>& expanded);

class SeriesGroups : public QObject {
    Q_OBJECT
public:
    static constexpr int kCheckMs = 1000;
    SeriesGroups(QListWidget* strip, ReviewCull* cull, QObject* parent);
    ~SeriesGroups() override;

    // Expands the selected picture's series, or folds it when it is expanded.
    void ToggleSelected();
    // Looks at the strip's pictures' keywords again (on the worker).
    void Refresh();
    std::optional<picture::SeriesKeyword> seriesOf(const std::string& path) const;

signals:
    void grouped();   // the groups were applied to the strip (tests wait for it)

private:
    struct Looked;
    void looked(Looked& result);
    void apply();

    QListWidget* strip_;
    ReviewCull* cull_;
    QTimer* check_ = nullptr;
    QTimer* soon_ = nullptr;
    QAction* toggle_ = nullptr;
    std::shared_ptr<picture::SeriesCache> cache_;   // the worker's alone
    std::vector<std::string> paths_;
    std::vector<std::optional<picture::SeriesKeyword>> series_;
    std::set<SeriesId> expanded_;
    bool queued_ = false, again_ = false;
    std::unique_ptr<Worker<Looked>> worker_;   // last: goes first
};
