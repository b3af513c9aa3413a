// The marks drawn on a Review thumbnail: the rating's stars along the bottom, a red cross for a
// reject, a series' count in the top right corner (a bar along the top on each picture of a
// series shown whole). One function draws them all, given what to draw, so a new mark is one more member.
#pragma once

#include <QIcon>
#include <QImage>

#include <optional>

class QPainter;
class QRect;

struct ThumbnailMarks {
    std::optional<int> rating;   // 1..5 stars, picture::kReject, none
    int seriesCount = 0;         // the head of a series group: its pictures (0: none shown)
    bool openSeries = false;     // one of a series shown whole
    bool operator==(const ThumbnailMarks&) const = default;
};

// Draws marks over the thumbnail drawn in rect.
void DrawThumbnailMarks(QPainter& painter, const QRect& rect, const ThumbnailMarks& marks);

// thumbnail with its marks, of its size; a null thumbnail is
// the grey stand-in, one icon shared by all with the same marks. Window thread.
QIcon MarkedIcon(const QImage& thumbnail, const ThumbnailMarks& marks);
