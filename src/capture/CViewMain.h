// The capture panel host ("Main"): four tabs, Normal, Stitch, Astrophotography and Time; the
// chosen tab shows its panel, sets the document's capture mode and sizes the viewscreen.
#pragma once

#include "document/CView.h"

#include <QFont>
#include <QWidget>

#include <array>

class CViewDoc;
class CPaneSplitter;
class CViewViewscreen;
class CCapNormalDlg;
class CCapStitchDlg;
class CCapAstroDlg;
class CCapTimeDlg;
class QTabWidget;

class CViewMain : public QWidget, public CView {
    Q_OBJECT
public:
    enum Tab { NormalTab = 0, StitchTab = 1, AstroTab = 2, TimeTab = 3 };

    explicit CViewMain(CViewDoc* document, QWidget* parent = nullptr);
    ~CViewMain() override;

    // The frame's splitters: row 0 of rowSplitter holds the viewscreen and the Info pane, column
    // 0 of columnSplitter the viewscreen. Either may be null (no resizing then).
    void SetSplitters(CPaneSplitter* rowSplitter, CPaneSplitter* columnSplitter);

    // Selection change of the tab control: shows the panel and sets the capture mode.
    void OnTabChanged();

    QTabWidget* tabs() const { return tabs_; }
    QWidget* panel(int index) const { return panels_[index]; }
    CCapNormalDlg* normalPanel() const;
    CCapStitchDlg* stitchPanel() const;
    CCapAstroDlg* astroPanel() const;
    CCapTimeDlg* timePanel() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void sizeViewscreen(int width, int height);
    CViewViewscreen* viewscreen() const;

    CViewDoc* document_;
    QFont font_;
    QTabWidget* tabs_ = nullptr;
    CPaneSplitter* rowSplitter_ = nullptr;
    CPaneSplitter* columnSplitter_ = nullptr;
    std::array<QWidget*, 4> panels_{};
};
