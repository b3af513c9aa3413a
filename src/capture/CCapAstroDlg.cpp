#include "capture/CCapAstroDlg.h"

#include "kit/DialogUnits.h"
#include "capture/CCapNormalDlg.h"
#include "document/CViewDoc.h"

#include <algorithm>

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

CCapAstroDlg::CCapAstroDlg(QWidget* parent) : QWidget(parent) {
    resize(dluX(216), dluY(98));
    capture_ = new QPushButton(QStringLiteral("Capture Photo"), this);
    capture_->setGeometry(dluRect(7, 7, 67, 14));
    group_ = new QGroupBox(QStringLiteral("Viewfinder"), this);
    group_->setGeometry(dluRect(7, 31, 185, 52));
    struct Text {
        const char* text;
        QRect place;
    };
    // Each text as wide (and tall) as it needs, at least its dialog-unit box, so none is cut.
    auto fit = [](QWidget* w, QRect box) {
        const QSize hint = w->sizeHint();
        w->setGeometry(box.x(), box.y(), std::max(box.width(), hint.width()),
                       std::max(box.height(), hint.height()));
    };
    int sliderLeft = dluX(74);
    for (const Text& t : {Text{"Additive Frames:", {14, 44, 55, 8}}, Text{"0", {78, 36, 8, 8}},
                          Text{"150", {172, 36, 13, 8}}}) {
        auto* label = new QLabel(QString::fromLatin1(t.text), this);
        label->setObjectName(QString::fromLatin1(t.text));
        fit(label, dluRect(t.place.x(), t.place.y(), t.place.width(), t.place.height()));
        if (t.place.x() == 14) sliderLeft = std::max(sliderLeft, label->geometry().right() + 4);
    }
    slider_ = new QSlider(Qt::Horizontal, this);
    // The slider starts after its caption and ends where it did.
    const QRect sliderBox = dluRect(74, 43, 110, 11);
    slider_->setGeometry(sliderLeft, sliderBox.y(), sliderBox.right() + 1 - sliderLeft,
                         std::max(sliderBox.height(), slider_->sizeHint().height()));
    if (auto* zero = findChild<QLabel*>(QStringLiteral("0")))   // over the slider's start
        zero->move(std::max(zero->x(), sliderLeft + 4), zero->y());
    slider_->setTickPosition(QSlider::TicksAbove);
    slider_->setRange(0, 150);
    slider_->setValue(0);
    slider_->setTracking(true);
    // As every other control: the wheel moves it only while it has the keyboard focus.
    slider_->setFocusPolicy(Qt::StrongFocus);
    slider_->installEventFilter(this);
    // How many frames are added, beside the slider.
    frames_ = new QLabel(this);
    frames_->setObjectName(QStringLiteral("addedFrames"));
    // As wide as its widest text, the button after it moved on when that is past the slider.
    int framesWidth = sliderLeft - dluX(14) - 4;
    for (const QString& text :
         {QStringLiteral("no frames added"), QStringLiteral("150 frames added")})
        framesWidth = std::max(framesWidth, frames_->fontMetrics().horizontalAdvance(text) + 2);
    frames_->setGeometry(dluX(14), dluY(56), framesWidth,
                         std::max(dluY(10), frames_->sizeHint().height()));
    showFrames();
    calibrate_ = new QPushButton(QStringLiteral("Calibrate for Noise"), this);
    fit(calibrate_,
        QRect(std::max(sliderLeft, frames_->geometry().right() + 5), dluY(58), dluX(69), dluY(11)));

    connect(capture_, &QPushButton::clicked, this, &CCapAstroDlg::OnCapturePhoto);
    connect(calibrate_, &QPushButton::clicked, this, &CCapAstroDlg::CalibrateNoise);
    // Every scroll step counts, so the value follows the thumb while it is dragged.
    connect(slider_, &QSlider::valueChanged, this, &CCapAstroDlg::OnScroll);
    connect(slider_, &QSlider::sliderMoved, this, &CCapAstroDlg::OnScroll);
}

void CCapAstroDlg::OnScroll() {
    showFrames();
    if (document_) document_->SetAdditiveFrames(slider_->sliderPosition());
}

void CCapAstroDlg::showFrames() {
    const int n = slider_->sliderPosition();
    frames_->setText(n == 0   ? QStringLiteral("no frames added")
                     : n == 1 ? QStringLiteral("1 frame added")
                              : QStringLiteral("%1 frames added").arg(n));
}

bool CCapAstroDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == slider_ && event->type() == QEvent::Wheel && !slider_->hasFocus()) {
        event->ignore();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CCapAstroDlg::ReadAdditiveFrames() {
    if (document_) document_->SetAdditiveFrames(slider_->value());
}

void CCapAstroDlg::OnCapturePhoto() { CCapNormalDlg::CapturePhoto(document_); }

void CCapAstroDlg::CalibrateNoise() {
    if (!document_) return;
    document_->Log("Calibrating noise...\r\n");
    document_->CalibrateNoise();
}
