// The capture panel host ("Main"): four capture tabs, Normal, Stitch, Astrophotography and
// Time, whose choice shows its panel, sets the document's capture mode and asks for viewscreen
// room; and "Review", the pictures already taken (it leaves the capture mode as it was).
#pragma once

#include "document/CView.h"

#include <QFont>
#include <QSize>
#include <QWidget>

#include <array>

class CViewDoc;
class CViewViewscreen;
class CCapNormalDlg;
class CCapStitchDlg;
class CCapAstroDlg;
class CCapTimeDlg;
class CReviewPanel;
class QTabWidget;

class CViewMain : public QWidget, public CView {
    Q_OBJECT
public:
    enum Tab { NormalTab = 0, StitchTab = 1, AstroTab = 2, TimeTab = 3, ReviewTab = 4 };

    explicit CViewMain(CViewDoc* document, QWidget* parent = nullptr);
    ~CViewMain() override;

    // Selection change of the tab control: shows the panel and sets the capture mode.
    void OnTabChanged();

    // The least room that still shows the tab row and all of "Capture Photo": the frame gives
    // this up last when the window gets small.
    QSize essentialSize() const;

    // The shown panel's first control, its capture button: where the keyboard focus goes after
    // a connect and when F6 enters the pane, so Space captures.
    QWidget* firstControl() const;
    void FocusCapture();
    // Ctrl+Shift+C anywhere in the window: the shown capture tab's "Capture Photo"; on the Time
    // and Review tabs one photo as the Normal tab takes it (not while a Time run goes on).
    void CaptureAnywhere();

    QTabWidget* tabs() const { return tabs_; }
    QWidget* panel(int index) const { return panels_[index]; }
    CCapNormalDlg* normalPanel() const;
    CCapStitchDlg* stitchPanel() const;
    CCapAstroDlg* astroPanel() const;
    CCapTimeDlg* timePanel() const;
    CReviewPanel* reviewPanel() const;

signals:
    // The viewscreen pane should be this big (caption band included) for the chosen mode: the
    // live picture alone, or with the stitch strip beside or above it. The frame owning the
    // panes decides how to make the room.
    void viewscreenSpaceWanted(QSize size);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    CViewViewscreen* viewscreen() const;

    CViewDoc* document_;
    QFont font_;
    QTabWidget* tabs_ = nullptr;
    std::array<QWidget*, 5> panels_{};
};
