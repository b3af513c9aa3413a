// The camera list pane: shows every camera the two drivers can see and connects to the selected
// one or disconnects the open one, then has the settings and info panes read the camera again.
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
    void OnConnect();

    QListWidget* cameraList() const { return list_; }
    QPushButton* connectButton() const { return connectButton_; }
    QPushButton* updateButton() const { return updateButton_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void refreshOtherPanes();

    CViewDoc* document_;
    QFont font_;
    QListWidget* list_ = nullptr;
    QPushButton* connectButton_ = nullptr;
    QPushButton* updateButton_ = nullptr;
};
