#include "app/CAboutDlg.h"

#include "app/BuildInfo.h"
#include "kit/DialogUnits.h"
#include "resources/Resources.h"

#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), ok_(new QPushButton(this)) {
    kestrelInitResources();
    setWindowTitle(QStringLiteral("Kestrel v" KESTREL_VERSION));
    setModal(true);
    setFont(paneFont());
    setFixedSize(dluX(236), dluY(55));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    const QRect iconRect = dluRect(11, 17, 21, 20);
    icon->setGeometry(iconRect.x(), iconRect.y(), 32, 32);
    icon->setPixmap(kestrelAppIcon().pixmap(32, 32));

    ok_->setText(QStringLiteral("OK"));
    ok_->setGeometry(dluRect(179, 7, 50, 14));
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}
