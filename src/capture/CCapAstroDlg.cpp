#include "capture/CCapAstroDlg.h"

#include "kit/DialogUnits.h"
#include "capture/CCapNormalDlg.h"
#include "document/CViewDoc.h"

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
    for (const Text& t : {Text{"Additive Frames:", {14, 44, 55, 8}}, Text{"0", {78, 36, 8, 8}},
                          Text{"150", {172, 36, 13, 8}}}) {
        auto* label = new QLabel(QString::fromLatin1(t.text), this);
        label->setGeometry(dluRect(t.place.x(), t.place.y(), t.place.width(), t.place.height()));
        label->setObjectName(QString::fromLatin1(t.text));
    }
    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setGeometry(dluRect(74, 43, 110, 11));
    slider_->setTickPosition(QSlider::TicksAbove);
    slider_->setFocusPolicy(Qt::StrongFocus);
    slider_->setRange(0, 150);
    slider_->setValue(0);
    slider_->setTracking(true);
    calibrate_ = new QPushButton(QStringLiteral("Calibrate for Noise"), this);
    calibrate_->setGeometry(dluRect(74, 58, 69, 11));

    connect(capture_, &QPushButton::clicked, this, &CCapAstroDlg::OnCapturePhoto);
    connect(calibrate_, &QPushButton::clicked, this, &CCapAstroDlg::CalibrateNoise);
    // Every scroll step counts, so the value follows the thumb while it is dragged.
    connect(slider_, &QSlider::valueChanged, this, &CCapAstroDlg::OnScroll);
    connect(slider_, &QSlider::sliderMoved, this, &CCapAstroDlg::OnScroll);
}

void CCapAstroDlg::OnScroll() {
    if (document_) document_->SetAdditiveFrames(slider_->sliderPosition());
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
