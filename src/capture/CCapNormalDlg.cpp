#include "capture/CCapNormalDlg.h"

#include "kit/DialogUnits.h"
#include "document/CViewDoc.h"

#include <QPushButton>
#include <QShortcut>

CCapNormalDlg::CCapNormalDlg(QWidget* parent) : QWidget(parent) {
    resize(dluX(238), dluY(98));
    button_ = new QPushButton(QStringLiteral("Capture Photo"), this);
    button_->setGeometry(dluRect(7, 7, 67, 14));
    button_->setToolTip(QStringLiteral("Capture a photo (Space, Ctrl+Shift+C)"));
    connect(button_, &QPushButton::clicked, this, &CCapNormalDlg::OnCapturePhoto);
    // Space while the panel has the focus (the host takes Ctrl+Shift+C, on every tab).
    auto* space = new QShortcut(QKeySequence(Qt::Key_Space), this);
    space->setContext(Qt::WidgetWithChildrenShortcut);
    connect(space, &QShortcut::activated, this, [this] {
        if (button_->isVisible() && button_->isEnabled()) button_->click();
    });
}

void CCapNormalDlg::CapturePhoto(CViewDoc* document) {
    if (!document) return;
    if (document->openDriver() == nullptr) {
        document->Log("No camera connected: connect one before capturing\r\n");
        return;
    }
    document->Log("Capturing Photo...\r\n");
    if (document->TakePicture()) document->PhotoCaptured();
}

void CCapNormalDlg::OnCapturePhoto() { CapturePhoto(document_); }
