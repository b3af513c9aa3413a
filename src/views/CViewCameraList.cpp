#include "views/CViewCameraList.h"

#include "kit/CLabel.h"
#include "kit/DialogUnits.h"
#include "kit/PaneCaption.h"
#include "document/CViewDoc.h"
#include "views/CViewInfo.h"
#include "views/CViewSetting.h"

#include <QApplication>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QStyle>

CViewCameraList::CViewCameraList(CViewDoc* document, QWidget* parent)
    : QWidget(parent), document_(document), font_(paneFont()) {
    list_ = new QListWidget(this);
    list_->setGeometry(0, 0, 10, 10);
    list_->setViewMode(QListView::ListMode);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setWordWrap(false);
    list_->setIconSize(QSize(16, 16));

    connectButton_ = new QPushButton(QStringLiteral("Connect"), this);
    connectButton_->setGeometry(0, 20, 75, 20);
    connectButton_->setFont(font_);
    updateButton_ = new QPushButton(QStringLiteral("Update List"), this);
    updateButton_->setGeometry(85, 20, 75, 20);
    updateButton_->setFont(font_);
    connect(connectButton_, &QPushButton::clicked, this, &CViewCameraList::OnConnect);
    connect(updateButton_, &QPushButton::clicked, this, &CViewCameraList::FillCameraList);

    FillCameraList();
    if (document_) document_->RegisterView(this, "CameraList");
}

CViewCameraList::~CViewCameraList() = default;

void CViewCameraList::FillCameraList() {
    list_->clear();
    if (!document_) return;
    document_->UpdateDeviceList();
    const QIcon icon = QApplication::windowIcon();
    // Each driver's names go in at rows 0, 1, 2...; the RC names, inserted last, end up first.
    int row = 0;
    for (const std::string& name : document_->cdDevices())
        list_->insertItem(row++, new QListWidgetItem(icon, QString::fromStdString(name)));
    row = 0;
    for (const std::string& name : document_->rcDevices())
        list_->insertItem(row++, new QListWidgetItem(icon, QString::fromStdString(name)));
}

void CViewCameraList::OnConnect() {
    if (!document_) return;
    const bool open = document_->cdDriver().isOpen() || document_->rcDriver().isOpen();
    if (!open) {
        const QList<QListWidgetItem*> selected = list_->selectedItems();
        if (selected.isEmpty()) return;
        // The whole row text: a name is never cut, so a long name still finds its camera.
        const std::string name = selected.front()->text().toStdString();
        document_->Log("Connecting to: " + name + "\r\n");
        if (!document_->ConnectCamera(name)) return;
        connectButton_->setText(QStringLiteral("Disconnect"));
        updateButton_->setEnabled(false);
        list_->setEnabled(false);
    } else {
        document_->Log("Disconnecting camera\r\n");
        if (document_->cdDriver().isOpen()) document_->cdDriver().Disconnect();
        if (document_->rcDriver().isOpen()) document_->rcDriver().Disconnect();
        connectButton_->setText(QStringLiteral("Connect"));
        updateButton_->setEnabled(true);
        list_->setEnabled(true);
    }
    refreshOtherPanes();
}

void CViewCameraList::refreshOtherPanes() {
    if (auto* setting = dynamic_cast<CViewSetting*>(document_->GetView("Setting")))
        setting->RefreshSettings();
    if (auto* info = dynamic_cast<CViewInfo*>(document_->GetView("Info"))) info->UpdateInfo();
}

void CViewCameraList::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawPaneCaption(painter, rect(), QStringLiteral("Camera List"), true);
}

void CViewCameraList::resizeEvent(QResizeEvent* event) {
    list_->setGeometry(0, 50, event->size().width(), std::max(0, event->size().height() - 50));
    QWidget::resizeEvent(event);
}
