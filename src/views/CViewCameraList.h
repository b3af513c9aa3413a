// The camera list pane: shows every camera the two drivers can see and connects to the selected
// one or disconnects the open one, then has the settings and info panes read the camera again.
// User-interface thread only.
#pragma once

#include "document/CView.h"

#include <QFont>
#include <QWidget>

class CViewDoc;
class QListWidget;
class QPushButton;

class CViewCameraList : public QWidget, public CView {
    Q_OBJECT
public:
    explicit CViewCameraList(CViewDoc* document, QWidget* parent = nullptr);
    ~CViewCameraList() override;

    // Refreshes the document's device lists and refills the list: the RC driver's cameras
    // first, then the CD driver's, each in the order its driver reports them.
    void FillCameraList();
    // Button 2: connects to the selected row when no camera is open, otherwise disconnects.
    // With no row to connect to it says why in one console line.
    void OnConnect();

signals:
    // After a connect (the camera's name) or a disconnect (an empty name).
    void connectionChanged(const QString& cameraName);

public:
    QListWidget* cameraList() const { return list_; }
    QPushButton* connectButton() const { return connectButton_; }
    QPushButton* updateButton() const { return updateButton_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void refreshOtherPanes();
    void onConnectClicked();

    // Set when the button's last press was the second of a double-click: that click is not a
    // new request, so a double-click on Connect does not connect and disconnect again.
    bool secondOfDoubleClick_ = false;
    CViewDoc* document_;
    QFont font_;
    QListWidget* list_ = nullptr;
    QPushButton* connectButton_ = nullptr;
    QPushButton* updateButton_ = nullptr;
};
