#include "capture/CCapNormalDlg.h"

#include "kit/DialogUnits.h"
#include "document/CViewDoc.h"

#include <QPushButton>

CCapNormalDlg::CCapNormalDlg(QWidget* parent) : QWidget(parent) {
    resize(dluX(238), dluY(98));
    button_ = new QPushButton(QStringLiteral("Capture Photo"), this);
    button_->setGeometry(dluRect(7, 7, 67, 14));
    connect(button_, &QPushButton::clicked, this, &CCapNormalDlg::OnCapturePhoto);
}

void CCapNormalDlg::CapturePhoto(CViewDoc* document) {
    if (!document) return;
    if (document->cdDriver().isOpen() || document->rcDriver().isOpen())
        document->Log("Capturing Photo...\r\n");
    if (document->TakePicture()) document->Log("Photo Captured\r\n");
}

void CCapNormalDlg::OnCapturePhoto() { CapturePhoto(document_); }
