// File > "Client View...": starts and stops the client view (the server over the capture folder
// for a browser on the studio network) and shows its address as text and as a QR code holding
// the access key; "Live view" beside Stop streams the viewfinder too. It owns the server;
// closing the dialog leaves the server running.
#pragma once

#include <QDialog>
#include <QImage>

#include <memory>

class CViewDoc;
class QCheckBox;
class QLabel;
class QPushButton;
namespace client {
class ClientServer;
}

class CClientViewDlg : public QDialog {
    Q_OBJECT
public:
    explicit CClientViewDlg(CViewDoc* document, QWidget* parent = nullptr);
    ~CClientViewDlg() override;

    // where: "PORT" or "ADDRESS:PORT" (empty: every interface address, port 8420; port 0: any
    // free one). Empty when
    // started (the console says "Client view: URL" once); otherwise why not.
    QString Start(const QString& where = QString());
    void Stop();
    bool Running() const;
    QString Url() const;   // the address with the key; empty when stopped

    // The text as a QR code, one module `scale` pixels, with a four-module quiet zone.
    static QImage QrCode(const QString& text, int scale = 4);

private:
    void showState();
    void tapFrames();   // the document hands frames to the server while live is on

    CViewDoc* document_;
    std::unique_ptr<client::ClientServer> server_;
    QLabel* address_ = nullptr;
    QLabel* code_ = nullptr;
    QCheckBox* picks_ = nullptr;
    QCheckBox* live_ = nullptr;   // the live view as an MJPEG stream
    QPushButton* startStop_ = nullptr;
};
