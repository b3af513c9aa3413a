// The caption strip every pane draws across the top 20 pixels of its client area.
#pragma once

#include <QRect>
#include <QString>

class QPainter;

inline constexpr int kPaneCaptionHeight = 20;

// Fills the strip with the button-face colour, draws a raised edge (highlight top and left,
// shadow bottom and right) and centres the title in it. With fillWholeClient the whole client
// rectangle is first filled with the button-face colour (panes whose controls leave gaps).
// The painter's font, pen and brush are left as they were.
void DrawPaneCaption(QPainter& painter, const QRect& clientRect, const QString& title,
                     bool fillWholeClient = false);
