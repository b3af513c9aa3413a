#include "capture/CViewMain.h"

#include "kit/DialogUnits.h"
#include "kit/PaneCaption.h"
#include "capture/CCapAstroDlg.h"
#include "capture/CCapNormalDlg.h"
#include "capture/CCapStitchDlg.h"
#include "capture/CCapTimeDlg.h"
#include "capture/CReviewPanel.h"
#include "capture/CViewViewscreen.h"
#include "document/CViewDoc.h"

#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QShortcut>
#include <QListWidget>
#include <QTabWidget>

CViewMain::CViewMain(CViewDoc* document, QWidget* parent)
    : QWidget(parent), document_(document), font_(paneFont()) {
    tabs_ = new QTabWidget(this);
    tabs_->setGeometry(0, 20, 100, 80);
    for (const char* text : {"Normal", "Stitch", "Astrophotography", "Time", "Review"})
        tabs_->addTab(new QWidget, QString::fromLatin1(text));
    tabs_->setFont(font_);

    auto* normal = new CCapNormalDlg(this);
    normal->setDocument(document_);
    panels_[NormalTab] = normal;
    auto* stitch = new CCapStitchDlg(this);
    stitch->setDocument(document_);
    if (document_) stitch->setViewscreen(viewscreen());
    panels_[StitchTab] = stitch;
    connect(stitch, &CCapStitchDlg::viewscreenSpaceWanted, this, &CViewMain::viewscreenSpaceWanted);
    auto* astro = new CCapAstroDlg(this);
    astro->setDocument(document_);
    panels_[AstroTab] = astro;
    auto* time = new CCapTimeDlg(this);
    time->setDocument(document_);
    panels_[TimeTab] = time;
    panels_[ReviewTab] = new CReviewPanel(document_, this);
    for (int i = 0; i <= ReviewTab; ++i) panels_[i]->setVisible(i == NormalTab);
    tabs_->setCurrentIndex(NormalTab);
    connect(tabs_, &QTabWidget::currentChanged, this, &CViewMain::OnTabChanged);
    connect(reviewPanel(), &CReviewPanel::captureWanted, this, &CViewMain::CaptureAnywhere);
    connect(reviewPanel(), &CReviewPanel::newPictureSaved, this, [this] {
        if (tabs_->currentIndex() == NormalTab) tabs_->setCurrentIndex(ReviewTab);
    });
    auto* anywhere = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), this);
    anywhere->setContext(Qt::WindowShortcut);
    connect(anywhere, &QShortcut::activated, this, &CViewMain::CaptureAnywhere);

    if (document_) document_->RegisterView(this, "Main");
}

CViewMain::~CViewMain() = default;

namespace {
// Where the panels sit in the pane, and the margin kept past them.
constexpr QPoint kPanelOffset{5, 45};
constexpr int kPanelMargin = 5;
}   // namespace

QSize CViewMain::essentialSize() const {
    const QRect button = normalPanel()->captureButton()->geometry();
    return {kPanelOffset.x() + button.right() + 1 + kPanelMargin,
            kPanelOffset.y() + button.bottom() + 1 + kPanelMargin};
}

CCapNormalDlg* CViewMain::normalPanel() const {
    return static_cast<CCapNormalDlg*>(panels_[NormalTab]);
}

CCapStitchDlg* CViewMain::stitchPanel() const {
    return static_cast<CCapStitchDlg*>(panels_[StitchTab]);
}

CCapAstroDlg* CViewMain::astroPanel() const {
    return static_cast<CCapAstroDlg*>(panels_[AstroTab]);
}

CCapTimeDlg* CViewMain::timePanel() const { return static_cast<CCapTimeDlg*>(panels_[TimeTab]); }

CReviewPanel* CViewMain::reviewPanel() const {
    return static_cast<CReviewPanel*>(panels_[ReviewTab]);
}

QWidget* CViewMain::firstControl() const {
    switch (tabs_->currentIndex()) {
        case StitchTab: return stitchPanel()->captureButton();
        case AstroTab: return astroPanel()->captureButton();
        case TimeTab: return timePanel()->captureButton();
        case ReviewTab: return reviewPanel()->strip();
        default: return normalPanel()->captureButton();
    }
}

void CViewMain::FocusCapture() { firstControl()->setFocus(Qt::OtherFocusReason); }

void CViewMain::CaptureAnywhere() {
    const int index = tabs_->currentIndex();
    if (index == NormalTab || index == StitchTab || index == AstroTab) {
        QPushButton* button = static_cast<QPushButton*>(firstControl());
        if (button->isEnabled()) button->click();
        return;
    }
    if (timePanel()->sequence().running()) {
        if (document_) document_->Log("Not captured: a Time run is going on\r\n");
        return;
    }
    CCapNormalDlg::CapturePhoto(document_);
}

CViewViewscreen* CViewMain::viewscreen() const {
    return document_ ? dynamic_cast<CViewViewscreen*>(document_->GetView("Viewscreen")) : nullptr;
}

void CViewMain::OnTabChanged() {
    const int index = tabs_->currentIndex();
    if (index < 0 || index > ReviewTab) return;
    for (int i = 0; i <= ReviewTab; ++i) panels_[i]->setVisible(i == index);
    // Leaving the review returns the viewscreen to the live picture; entering it gives the
    // strip the keyboard focus, so its keys never reach the control that had it.
    if (index != ReviewTab) reviewPanel()->ShowLive();
    else reviewPanel()->strip()->setFocus(Qt::OtherFocusReason);
    if (!document_ || index == ReviewTab) return;
    switch (index) {
        case NormalTab:
        case TimeTab:
            document_->SetAdditiveFrames(0);
            document_->PrepareStitchStrip(0);
            break;
        case StitchTab:
            // The checked arrow: direction, a fresh strip from the previous shot, room for it.
            stitchPanel()->ApplyStitchSelection();
            document_->SetAdditiveFrames(0);
            return;
        case AstroTab:
            document_->PrepareStitchStrip(0);
            astroPanel()->ReadAdditiveFrames();
            break;
    }
    // The live picture (320 x 240) plus the caption band.
    emit viewscreenSpaceWanted(QSize(320, 260));
    if (CViewViewscreen* screen = viewscreen()) screen->LayoutStitch();
}

void CViewMain::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawPaneCaption(painter, rect(), QStringLiteral("Main"));
}

void CViewMain::resizeEvent(QResizeEvent* event) {
    const int cx = event->size().width();
    const int cy = event->size().height();
    tabs_->setGeometry(0, 20, cx, std::max(0, cy - 20));
    for (QWidget* panel : panels_)
        panel->setGeometry(kPanelOffset.x(), kPanelOffset.y(), std::max(0, cx - 10),
                           std::max(0, cy - 50));
    QWidget::resizeEvent(event);
}
