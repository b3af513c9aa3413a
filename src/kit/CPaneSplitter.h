// A static splitter of two panes, stacked or side by side, with a 1-pixel border and 6-pixel
// bars that the user drags. Rows and columns have an ideal and a minimum size; a pane whose
// computed size is 0 is hidden. Nested splitters fill their pane plus 1 pixel all round.
#pragma once

#include "kit/SplitterLayout.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <vector>

class CPaneSplitter : public QWidget {
    Q_OBJECT
public:
    enum class Arrangement { Stacked, SideBySide };

    static constexpr int kBarWidth = 6;
    static constexpr int kGap = 6;
    static constexpr int kBorder = 1;

    explicit CPaneSplitter(Arrangement arrangement, QWidget* parent = nullptr);
    ~CPaneSplitter() override;

    Arrangement arrangement() const { return arrangement_; }
    int rowCount() const { return static_cast<int>(rows_.size()); }
    int columnCount() const { return static_cast<int>(columns_.size()); }

    // Puts a pane at index 0 (row 0 / column 0) or 1 (row 1 or column 1); the splitter owns it.
    // A pane already there is destroyed. The pane starts at 10 x 10 pixels until laid out.
    void SetPane(int index, QWidget* pane);
    QWidget* Pane(int index) const;

    // Nests a new splitter at index 0 or 1, destroying what was there. Null for other indexes.
    CPaneSplitter* AddSubSplitter(int index, Arrangement arrangement);

    void SetRowInfo(int row, int ideal, int minimum);
    void SetColumnInfo(int column, int ideal, int minimum);
    kit::SplitterTrack RowInfo(int row) const;
    kit::SplitterTrack ColumnInfo(int column) const;

    // Lays the panes out again for the current size (nothing at zero width or height).
    void RecalcLayout();
    const kit::SplitterLayout& currentLayout() const { return layout_; }
    // The rectangle pane `index` was given (before a nested splitter's 1-pixel enlargement).
    QRect PaneRect(int index) const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct BarHit {
        bool vertical = false;   // true: a column bar (drags across)
        int index = -1;
    };
    BarHit hitBar(const QPoint& position) const;
    kit::SplitterMetrics metrics() const;

    Arrangement arrangement_;
    std::vector<kit::SplitterTrack> rows_;
    std::vector<kit::SplitterTrack> columns_;
    std::array<QPointer<QWidget>, 2> panes_;
    kit::SplitterLayout layout_;

    BarHit dragging_;
    int dragOffset_ = 0;
};
