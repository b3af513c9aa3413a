#include "app/CClientViewDlg.h"

#include "client/ClientServer.h"
#include "document/CViewDoc.h"

#include <qrencode.h>

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

CClientViewDlg::CClientViewDlg(CViewDoc* document, QWidget* parent)
    : QDialog(parent), document_(document) {
    setWindowTitle(QStringLiteral("Client View"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(
        QStringLiteral("Shows this session's pictures in a browser on the studio network. "
                       "Only someone with the address below (it holds the key) sees them."),
        this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    code_ = new QLabel(this);
    code_->setAlignment(Qt::AlignCenter);
    code_->setObjectName(QStringLiteral("clientViewCode"));
    layout->addWidget(code_);
    address_ = new QLabel(this);
    address_->setObjectName(QStringLiteral("clientViewAddress"));
    address_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    address_->setWordWrap(true);
    layout->addWidget(address_);
    auto* row = new QHBoxLayout;
    picks_ = new QCheckBox(QStringLiteral("Client can pick pictures"), this);
    picks_->setObjectName(QStringLiteral("clientViewPicks"));
    picks_->setChecked(true);
    row->addWidget(picks_);
    live_ = new QCheckBox(QStringLiteral("Live view"), this);
    live_->setObjectName(QStringLiteral("clientViewLive"));
    live_->setToolTip(
        QStringLiteral("Streams the live view to the page (at most 10 frames a "
                       "second, 8 pages)"));
    row->addWidget(live_);
    row->addStretch();
    startStop_ = new QPushButton(this);
    startStop_->setObjectName(QStringLiteral("clientViewStartStop"));
    row->addWidget(startStop_);
    layout->addLayout(row);
    connect(picks_, &QCheckBox::toggled, this, [this](bool on) {
        if (server_) server_->SetPicks(on);
    });
    connect(live_, &QCheckBox::toggled, this, [this](bool on) {
        if (server_) server_->SetLive(on);
        tapFrames();
    });
    connect(startStop_, &QPushButton::clicked, this, [this] {
        if (Running()) {
            Stop();
        } else if (const QString why = Start(); !why.isEmpty()) {
            address_->setText(QStringLiteral("Not started: ") + why);
        }
    });
    showState();
}

CClientViewDlg::~CClientViewDlg() {
    if (server_ && document_) document_->setFrameTap(nullptr);
}

namespace {

// Frames from the camera thread into the server's live mailbox (which never waits).
struct LiveTap : CViewDoc::FrameTap {
    explicit LiveTap(std::shared_ptr<client::LiveFrames> to) : frames(std::move(to)) {}
    void TakeFrame(const std::uint8_t* pixels) override { frames->Offer(pixels); }
    std::shared_ptr<client::LiveFrames> frames;
};

}   // namespace

void CClientViewDlg::tapFrames() {
    if (!document_) return;
    document_->setFrameTap(
        Running() && live_->isChecked() ? std::make_shared<LiveTap>(server_->LiveView()) : nullptr);
}

bool CClientViewDlg::Running() const { return server_ && server_->Running(); }

QString CClientViewDlg::Url() const {
    if (!Running() || server_->Urls().empty()) return {};
    return QString::fromStdString(server_->Urls().front());
}

QString CClientViewDlg::Start(const QString& where) {
    client::ClientViewOptions options;
    options.picks = picks_->isChecked();
    options.live = live_->isChecked();
    if (!where.isEmpty()) {
        const qsizetype colon = where.lastIndexOf(QLatin1Char(':'));
        bool ok = false;
        const int port = where.mid(colon + 1).toInt(&ok);
        if (!ok || port < 0 || port > 65535)   // 0: any free port
            return QStringLiteral("\"%1\" is not [ADDRESS:]PORT").arg(where);
        options.port = port;
        if (colon >= 0) options.address = where.left(colon).toStdString();
    }
    CViewDoc* document = document_;
    server_ = std::make_unique<client::ClientServer>(
        [document] {
            return std::pair{document->captureFolder(), document->captureName()};
        },
        [document](const std::string& line) { document->Log(line); });
    if (const std::string why = server_->Start(options); !why.empty()) {
        server_.reset();
        tapFrames();
        showState();
        return QString::fromStdString(why);
    }
    document_->Log("Client view: " + server_->Urls().front() + "\r\n");
    tapFrames();
    showState();
    return {};
}

void CClientViewDlg::Stop() {
    if (document_) document_->setFrameTap(nullptr);
    server_.reset();
    showState();
}

void CClientViewDlg::showState() {
    const QString url = Url();
    startStop_->setText(url.isEmpty() ? QStringLiteral("Start") : QStringLiteral("Stop"));
    address_->setText(url.isEmpty() ? QStringLiteral("The client view is off.") : url);
    code_->setPixmap(url.isEmpty() ? QPixmap() : QPixmap::fromImage(QrCode(url)));
}

QImage CClientViewDlg::QrCode(const QString& text, int scale) {
    QRcode* code = QRcode_encodeString(text.toUtf8().constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    if (!code) return {};
    const int quiet = 4, side = (code->width + 2 * quiet) * scale;
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x)
            if (code->data[y * code->width + x] & 1)
                painter.fillRect((x + quiet) * scale, (y + quiet) * scale, scale, scale, Qt::black);
    painter.end();
    QRcode_free(code);
    return image;
}
