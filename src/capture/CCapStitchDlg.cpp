#include "capture/CCapStitchDlg.h"

#include "kit/DialogUnits.h"
#include "capture/CCapNormalDlg.h"
#include "capture/CViewViewscreen.h"
#include "capture/OverlapReadout.h"
#include "document/CViewDoc.h"
#include "resources/Resources.h"

#include <QButtonGroup>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {

struct Arrow {
    int id;
    std::uint32_t direction;
    QRect place;   // dialog units
    int columnWidth, rowHeight;
};
// Previous shot on the left, right, above, below: the strip's side and the room it needs.
constexpr Arrow kArrows[4] = {
    {CCapStitchDlg::LeftId, 1, {77, 43, 10, 8}, 400, 260},
    {CCapStitchDlg::RightId, 2, {174, 43, 10, 8}, 400, 260},
    {CCapStitchDlg::TopId, 3, {125, 0, 10, 8}, 320, 340},
    {CCapStitchDlg::BottomId, 4, {125, 87, 10, 8}, 320, 340},
};

struct Bitmap {
    int id;
    int x, y;   // dialog units
};
constexpr Bitmap kBitmaps[5] = {
    {139, 88, 27}, {140, 151, 27}, {141, 109, 8}, {142, 109, 66}, {144, 109, 27}};

// How often the overlap line is refreshed while a strip is shown.
constexpr int kReadoutIntervalMs = 250;

}   // namespace

CCapStitchDlg::CCapStitchDlg(QWidget* parent) : QWidget(parent) {
    resize(dluX(195), dluY(98));
    capture_ = new QPushButton(QStringLiteral("Capture Photo"), this);
    capture_->setGeometry(dluRect(7, 7, 67, 14));
    clear_ = new QPushButton(QStringLiteral("Clear Stitch"), this);
    clear_->setGeometry(dluRect(7, 28, 50, 14));
    connect(capture_, &QPushButton::clicked, this, &CCapStitchDlg::OnStitchCapturePhoto);
    connect(clear_, &QPushButton::clicked, this, &CCapStitchDlg::OnClearStitch);

    kestrelInitResources();
    for (std::size_t i = 0; i < bitmaps_.size(); ++i) {
        const QPixmap pixmap(QStringLiteral(":/kestrel/bitmaps/bitmap%1.bmp").arg(kBitmaps[i].id));
        bitmaps_[i] = new QLabel(this);
        bitmaps_[i]->setPixmap(pixmap);
        bitmaps_[i]->setGeometry(
            QRect(QPoint(dluX(kBitmaps[i].x), dluY(kBitmaps[i].y)), pixmap.size()));
    }

    // One group: checking an arrow unchecks the others.
    arrows_ = new QButtonGroup(this);
    for (const Arrow& a : kArrows) {
        auto* radio = new QRadioButton(this);
        radio->setGeometry(dluRect(a.place.x(), a.place.y(), a.place.width(), a.place.height()));
        arrows_->addButton(radio, a.id);
    }
    arrow(LeftId)->setChecked(true);
    connect(arrows_, &QButtonGroup::idClicked, this, &CCapStitchDlg::OnArrow);

    // The overlap line, under the buttons and left of the arrows (wrapped when long).
    overlapLine_ = new QLabel(this);
    overlapLine_->setGeometry(dluRect(7, 46, 68, 40));
    overlapLine_->setWordWrap(true);
    overlapLine_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    timer_ = new QTimer(this);
    timer_->setInterval(kReadoutIntervalMs);
    connect(timer_, &QTimer::timeout, this, &CCapStitchDlg::tick);
}

CCapStitchDlg::~CCapStitchDlg() = default;

void CCapStitchDlg::setDocument(CViewDoc* document) {
    document_ = document;
    readout_.reset();
    if (document_)
        readout_ = std::make_unique<OverlapReadout>(
            document_,
            [this](const std::string& line) {
                // A line that arrives after the strip went away is stale.
                const bool showing = isVisible() && document_->stitchDirection() != 0;
                overlapLine_->setText(showing ? QString::fromStdString(line) : QString());
            },
            this);
}

QRadioButton* CCapStitchDlg::arrow(int radioId) const {
    return static_cast<QRadioButton*>(arrows_->button(radioId));
}

QLabel* CCapStitchDlg::bitmap(int bitmapId) const {
    for (std::size_t i = 0; i < bitmaps_.size(); ++i)
        if (kBitmaps[i].id == bitmapId) return bitmaps_[i];
    return nullptr;
}

void CCapStitchDlg::OnArrow(int radioId) {
    if (!document_) return;
    for (const Arrow& a : kArrows) {
        if (a.id != radioId) continue;
        document_->PrepareStitchStrip(a.direction);
        emit viewscreenSpaceWanted(QSize(a.columnWidth, a.rowHeight));
        if (viewscreen_) viewscreen_->LayoutStitch();
        tick();
        return;
    }
}

void CCapStitchDlg::ApplyStitchSelection() {
    if (!document_) return;
    for (const Arrow& a : kArrows)
        if (arrow(a.id)->isChecked()) {
            OnArrow(a.id);
            return;
        }
    if (viewscreen_) viewscreen_->LayoutStitch();
}

void CCapStitchDlg::OnStitchCapturePhoto() {
    if (!document_) return;
    CCapNormalDlg::CapturePhoto(document_);
    if (viewscreen_) viewscreen_->LayoutStitch();
    tick();
}

void CCapStitchDlg::OnClearStitch() {
    // The strip on screen stays until the next layout.
    if (document_) document_->ClearStitch();
}

void CCapStitchDlg::tick() {
    if (!document_ || !readout_ || !isVisible() || document_->stitchDirection() == 0) {
        timer_->stop();
        overlapLine_->clear();
        return;
    }
    if (!timer_->isActive()) timer_->start();
    readout_->request();
}

void CCapStitchDlg::hideEvent(QHideEvent* event) {
    timer_->stop();
    overlapLine_->clear();
    QWidget::hideEvent(event);
}
