// The marks drawn on a Review thumbnail: the rating's stars along the bottom, a red cross for a
// reject, a heart in the top right corner for the client's pick, a series' count beside it (a
// bar along the top on each picture of a series shown whole), "RAW+JPEG" in the bottom left
// corner on a pair shown as one. One function draws them all, given what to draw, so a new mark
// is one more member.
#pragma once

#include <QIcon>
#include <QImage>

#include <QColor>
#include <QRect>

#include <optional>

class QPainter;

// The heart's colour and where it is drawn on a thumbnail drawn in rect (for tests).
inline const QColor kClientPickColor{255, 64, 100};
QRect ClientPickHeartRect(const QRect& rect);
// The "RAW+JPEG" badge's colour and where it is drawn (above the stars' band when rated).
inline const QColor kRawPairColor{0, 128, 112};
QRect RawPairMarkRect(const QRect& rect, bool starred);

struct ThumbnailMarks {
    std::optional<int> rating;   // 1..5 stars, picture::kReject, none
    bool clientPick = false;     // the client picked it in the client view
    int seriesCount = 0;         // the head of a series group: its pictures (0: none shown)
    bool openSeries = false;     // one of a series shown whole
    bool rawPair = false;        // a RAW+JPEG pair shown as one (its JPEG's thumbnail)
    bool operator==(const ThumbnailMarks&) const = default;
};

// Draws marks over the thumbnail drawn in rect.
void DrawThumbnailMarks(QPainter& painter, const QRect& rect, const ThumbnailMarks& marks);

// thumbnail with its marks, of its size; a null thumbnail is
// the grey stand-in, one icon shared by all with the same marks. Window thread.
QIcon MarkedIcon(const QImage& thumbnail, const ThumbnailMarks& marks);
