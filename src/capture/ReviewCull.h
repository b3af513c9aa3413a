// The Review strip's culling: the filter menu above the strip with its "12 shown of 40" count,
// the listed pictures' ratings (read by the panel's folder worker), each item's text and
// thumbnail marks, and which items the filter shows. "Hide Rejects" (H) is one key. A RAW+JPEG
// pair is one item, its JPEG's: the item shows the JPEG's rating, else its RAW's.
#pragma once

#include "capture/SeriesGroups.h"
#include "capture/ThumbnailMarks.h"
#include "picture/CullFilter.h"

#include <QObject>
#include <QString>

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QWidget;

namespace reviewrole {
// The strip items' data: the path's bytes (a QByteArray), whether the thumbnail is in memory,
// the thumbnail without marks (a QImage), why it cannot be read (a QString).
enum : int { Path = Qt::UserRole, Loaded, Image, Error };
}   // namespace reviewrole

class ReviewCull : public QObject {
    Q_OBJECT
public:
    static constexpr int kBarHeight = 24;

    // The menu and the count are children of parent, placed by Place.
    ReviewCull(QListWidget* strip, QWidget* parent);
    void Place(int x, int y, int width);

    picture::CullFilter filter() const { return filter_; }
    void SetFilter(picture::CullFilter filter);
    void ToggleHideRejects();
    QComboBox* menu() const { return menu_; }
    QString count() const;   // "12 shown of 40" with a filter set, else empty

    // The rating an item shows: of path as last read, or for a pair's JPEG without one, of the
    // first of its RAW files with one (the two sidecars disagree only when another program rated
    // one file alone). An item's rating changed is marked and shown or hidden.
    std::optional<int> rating(const std::string& path) const;
    // Takes the rating of a file (an item's, or a pair's RAW); true when the rating its item
    // shows changed, or the client's pick (picture::ClientPicks) moved since the item was last
    // marked.
    bool SetRating(const std::string& path, std::optional<int> rating);
    // The pairs shown as one item: each JPEG's RAW files. The RAW files' ratings are kept while
    // they are in a pair; the items whose pair changed are applied again.
    void SetPairs(std::unordered_map<std::string, std::vector<std::string>> pairs);
    // The item path is shown in: its pair's JPEG for a pair's RAW, else path.
    const std::string& ItemOf(const std::string& path) const;
    bool paired(const std::string& path) const { return pairs_.contains(path); }
    // A removed item's rating; a RAW file now in a pair keeps its own.
    void Forget(const std::string& path);
    void ForgetAll();
    // The series groups (SeriesGroups): a folded group's pictures but its head are hidden, the
    // head shows the count; the items whose mark changed are applied again.
    void SetGroups(std::unordered_map<std::string, GroupMark> groups);
    GroupMark group(const std::string& path) const;
    // An item's text, marks and whether it is shown, from its data and rating.
    void Apply(QListWidgetItem* item);
    void ApplyAll();
    void UpdateCount();
    // The row by shown items from row (by < 0: newer), or -1; the shown row nearest row (older
    // first), or -1 when none is shown.
    int Step(int row, int by) const;
    int NearestShown(int row) const;

signals:
    void filterChanged();

private:
    QListWidget* strip_;
    QComboBox* menu_ = nullptr;
    QLabel* count_ = nullptr;
    picture::CullFilter filter_ = picture::CullFilter::All;
    std::unordered_map<std::string, std::optional<int>> ratings_;   // by path
    std::unordered_map<std::string, bool> picks_;   // by path: the pick the item was marked with
    std::unordered_map<std::string, GroupMark> groups_;                 // by path
    std::unordered_map<std::string, std::vector<std::string>> pairs_;   // a JPEG's RAW files
    std::unordered_map<std::string, std::string> jpegOf_;               // a pair's RAW: its JPEG
    bool picked(const std::string& path) const;   // the item's client pick, of either file
};
