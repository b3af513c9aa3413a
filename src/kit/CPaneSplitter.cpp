#include "kit/CPaneSplitter.h"

#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>

CPaneSplitter::CPaneSplitter(Arrangement arrangement, QWidget* parent)
    : QWidget(parent),
      arrangement_(arrangement),
      rows_(arrangement == Arrangement::Stacked ? 2 : 1),
      columns_(arrangement == Arrangement::Stacked ? 1 : 2) {
    setMouseTracking(true);
}

CPaneSplitter::~CPaneSplitter() = default;   // panes and nested splitters are child widgets

void CPaneSplitter::SetPane(int index, QWidget* pane) {
    if (index < 0 || index > 1) return;
    if (panes_[index] && panes_[index] != pane) delete panes_[index].data();
    panes_[index] = pane;
    if (!pane) return;
    pane->setParent(this);
    pane->setGeometry(0, 0, 10, 10);
    pane->show();
    if (layout_.valid) RecalcLayout();
}

QWidget* CPaneSplitter::Pane(int index) const {
    return index >= 0 && index <= 1 ? panes_[index].data() : nullptr;
}

CPaneSplitter* CPaneSplitter::AddSubSplitter(int index, Arrangement arrangement) {
    if (index < 0 || index > 1) return nullptr;
    auto* nested = new CPaneSplitter(arrangement);
    nested->setObjectName(QStringLiteral("splitterPane%1").arg(index));
    SetPane(index, nested);
    return nested;
}

void CPaneSplitter::SetRowInfo(int row, int ideal, int minimum) {
    if (row >= 0 && row < rowCount()) rows_[row] = {ideal, minimum};
}

void CPaneSplitter::SetColumnInfo(int column, int ideal, int minimum) {
    if (column >= 0 && column < columnCount()) columns_[column] = {ideal, minimum};
}

kit::SplitterTrack CPaneSplitter::RowInfo(int row) const {
    return row >= 0 && row < rowCount() ? rows_[row] : kit::SplitterTrack{};
}

kit::SplitterTrack CPaneSplitter::ColumnInfo(int column) const {
    return column >= 0 && column < columnCount() ? columns_[column] : kit::SplitterTrack{};
}

kit::SplitterMetrics CPaneSplitter::metrics() const {
    kit::SplitterMetrics m;
    m.border = kBorder;
    m.gap = kGap;
    return m;
}

QRect CPaneSplitter::PaneRect(int index) const {
    if (!layout_.valid || index < 0 || index >= static_cast<int>(layout_.panes.size()))
        return QRect();
    return layout_.panes[index];
}

void CPaneSplitter::RecalcLayout() {
    kit::SplitterLayout layout = kit::ComputeSplitterLayout(size(), rows_, columns_, metrics());
    if (!layout.valid) return;   // zero width or height: keep the panes where they are
    for (int i = 0; i < 2 && i < static_cast<int>(layout.panes.size()); ++i) {
        QWidget* pane = panes_[i];
        if (!pane) continue;
        QRect target = layout.panes[i];
        if (target.isEmpty()) {
            if (pane->isVisible() || pane->size() != QSize(0, 0)) {
                pane->hide();
                pane->resize(0, 0);
            }
            continue;
        }
        if (qobject_cast<CPaneSplitter*>(pane)) target.adjust(-1, -1, 1, 1);
        if (pane->geometry() != target) pane->setGeometry(target);
        if (pane->isHidden()) pane->show();
    }
    layout_ = std::move(layout);
    update();
}

void CPaneSplitter::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (window()->isMinimized()) return;
    if (event->size().width() > 0 && event->size().height() > 0) RecalcLayout();
}

void CPaneSplitter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& pal = palette();
    const QColor face = pal.color(QPalette::Button);
    const QColor highlight = pal.color(QPalette::Light);
    const QColor shadow = pal.color(QPalette::Dark);
    painter.fillRect(rect(), face);
    if (!layout_.valid) return;

    // Bars: raised, face-coloured.
    auto drawBar = [&](const QRect& bar) {
        if (bar.isEmpty()) return;
        painter.fillRect(bar, face);
    };
    for (const QRect& bar : layout_.columnBars) drawBar(bar);
    for (const QRect& bar : layout_.rowBars) drawBar(bar);

    // A sunken edge round every pane, drawn after the bars so that the edges beside a bar show
    // between the panes as well: shadow top and left, highlight bottom and right.
    for (const QRect& pane : layout_.panes) {
        if (pane.isEmpty()) continue;
        const QRect edge = pane.adjusted(-1, -1, 0, 0);   // one pixel outside, inclusive
        painter.setPen(shadow);
        painter.drawLine(edge.left(), edge.top(), edge.right(), edge.top());
        painter.drawLine(edge.left(), edge.top(), edge.left(), edge.bottom());
        painter.setPen(highlight);
        painter.drawLine(edge.left(), edge.bottom() + 1, edge.right() + 1, edge.bottom() + 1);
        painter.drawLine(edge.right() + 1, edge.top(), edge.right() + 1, edge.bottom() + 1);
    }
}

CPaneSplitter::BarHit CPaneSplitter::hitBar(const QPoint& position) const {
    if (!layout_.valid) return {};
    for (int i = 0; i < static_cast<int>(layout_.columnBars.size()); ++i)
        if (layout_.columnBars[i].contains(position)) return {true, i};
    for (int i = 0; i < static_cast<int>(layout_.rowBars.size()); ++i)
        if (layout_.rowBars[i].contains(position)) return {false, i};
    return {};
}

void CPaneSplitter::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    dragging_ = hitBar(event->position().toPoint());
    if (dragging_.index < 0) return;
    const QPoint pos = event->position().toPoint();
    dragOffset_ = dragging_.vertical ? pos.x() - layout_.columnBars[dragging_.index].left()
                                     : pos.y() - layout_.rowBars[dragging_.index].top();
}

void CPaneSplitter::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (dragging_.index < 0) {
        const BarHit hover = hitBar(pos);
        if (hover.index < 0) unsetCursor();
        else setCursor(hover.vertical ? Qt::SplitHCursor : Qt::SplitVCursor);
        return;
    }
    // The bar follows the mouse: the pane before it wishes to end where the bar now starts.
    const int i = dragging_.index;
    if (dragging_.vertical) {
        const int ideal = std::max(0, pos.x() - dragOffset_ - layout_.columnStarts[i]);
        SetColumnInfo(i, ideal, columns_[i].minimum);
    } else {
        const int ideal = std::max(0, pos.y() - dragOffset_ - layout_.rowStarts[i]);
        SetRowInfo(i, ideal, rows_[i].minimum);
    }
    RecalcLayout();
}

void CPaneSplitter::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragging_ = {};
    QWidget::mouseReleaseEvent(event);
}
