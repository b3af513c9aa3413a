#include "views/CViewCameraList.h"

#include "kit/CLabel.h"
#include "kit/DialogUnits.h"
#include "kit/PaneCaption.h"
#include "document/CViewDoc.h"
#include "views/CViewInfo.h"
#include "views/CViewSetting.h"

#include <QApplication>
#include <QEvent>
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
    connectButton_->installEventFilter(this);
    connect(connectButton_, &QPushButton::clicked, this, &CViewCameraList::onConnectClicked);
    // A double-click or Enter on a row connects to it (the list is disabled while connected).
    connect(list_, &QListWidget::itemActivated, this, [this] { OnConnect(); });
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
    // The first row is really selected, not only framed, so Connect works straight away.
    if (list_->count() > 0) list_->setCurrentRow(0);
}

bool CViewCameraList::eventFilter(QObject* watched, QEvent* event) {
    if (watched == connectButton_) {
        if (event->type() == QEvent::MouseButtonPress) secondOfDoubleClick_ = false;
        if (event->type() == QEvent::MouseButtonDblClick) secondOfDoubleClick_ = true;
    }
    return QWidget::eventFilter(watched, event);
}

void CViewCameraList::onConnectClicked() {
    const bool ignore = secondOfDoubleClick_;
    secondOfDoubleClick_ = false;   // a later click by keyboard counts again
    if (!ignore) OnConnect();
}

void CViewCameraList::OnConnect() {
    if (!document_) return;
    const bool open = document_->openDriver() != nullptr;
    CameraSession& session = document_->cameraSession();
    if (!open && session.waiting()) {
        // Disconnect while waiting: the camera that went away is no longer waited for.
        document_->Log("Stopped waiting for " + session.waitingFor() + "\r\n");
        session.StopWaiting();
        connectButton_->setText(QStringLiteral("Connect"));
        updateButton_->setEnabled(true);
        list_->setEnabled(true);
        FillCameraList();
    } else if (!open) {
        const QList<QListWidgetItem*> selected = list_->selectedItems();
        if (list_->count() == 0) {
            document_->Log("No camera to connect to: attach one, then press Update List\r\n");
            return;
        }
        if (selected.isEmpty()) {
            document_->Log("No camera selected: choose one in the list, then press Connect\r\n");
            return;
        }
        // The whole row text: a name is never cut, so a long name still finds its camera.
        const std::string name = selected.front()->text().toStdString();
        document_->Log("Connecting to: " + name + "\r\n");
        if (!document_->ConnectCamera(name)) return;
        connectButton_->setText(QStringLiteral("Disconnect"));
        updateButton_->setEnabled(false);
        list_->setEnabled(false);
        refreshOtherPanes();
        emit connectionChanged(QString::fromStdString(name));
        return;
    } else {
        document_->Log("Disconnecting camera\r\n");
        session.Disconnect();
        connectButton_->setText(QStringLiteral("Connect"));
        updateButton_->setEnabled(true);
        list_->setEnabled(true);
    }
    refreshOtherPanes();
    emit connectionChanged(QString());
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
    // Whole rows only: the list ends below its last whole row (the pane's face shows beneath).
    const int room = std::max(0, event->size().height() - 50);
    const int row = std::max(1, list_->sizeHintForRow(0) > 0 ? list_->sizeHintForRow(0)
                                                             : list_->fontMetrics().height() + 4);
    const int frame = 2 * list_->frameWidth();
    const int rows = (room - frame) / row;
    list_->setGeometry(0, 50, event->size().width(), rows > 0 ? rows * row + frame : room);
    QWidget::resizeEvent(event);
}
