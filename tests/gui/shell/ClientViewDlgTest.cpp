// File > "Client View...": the dialog over a real server on the loopback. Start shows the
// address with its key as text and as a QR code of that address and writes it to the console
// once; the "Client can pick pictures" switch makes the page read-only (a pick refused, the
// sidecar untouched) and back; Stop drops an open page's event stream and closes the port; a
// bad [ADDRESS:]PORT or an address that is not the machine's is refused with its reason.
#include "app/CClientViewDlg.h"
#include "picture/Sidecar.h"
#include "sdk/sim/ImageFile.h"
#include "support/PaneTestSupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QUrl>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

using namespace testsupport;

namespace {

// A connection to 127.0.0.1:port, reads given up after two seconds; -1 with errno when refused.
int connectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval wait{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

// The whole answer to one request (the connection closed after it).
std::string roundTrip(int port, const std::string& method, const std::string& target) {
    const int fd = connectTo(port);
    if (fd < 0) return {};
    const std::string request =
        method + " " + target + " HTTP/1.1\r\nHost: kestrel\r\nConnection: close\r\n\r\n";
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) < 0) return {};
    std::string answer;
    char buffer[4096];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, n);
    ::close(fd);
    return answer;
}

int statusOf(const std::string& answer) {
    return answer.size() > 12 ? std::atoi(answer.c_str() + 9) : 0;
}

void writePicture(const std::string& path) {
    std::vector<std::uint8_t> rgb(320 * 240 * 3, 100);
    const auto jpeg = sim::jpegWithThumbnail(rgb.data(), 320, 240, 80);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg.data()),
               static_cast<std::streamsize>(jpeg.size()));
}

}   // namespace

class TestClientViewDlg : public QObject {
    Q_OBJECT
private slots:
    void startShowsTheAddressItsCodeAndTheConsoleLine() {
        DocFixture fx;
        CClientViewDlg dialog(fx.doc.get());
        auto* button = Child<QPushButton>(dialog, "clientViewStartStop");
        auto* address = Child<QLabel>(dialog, "clientViewAddress");
        auto* code = Child<QLabel>(dialog, "clientViewCode");
        QCOMPARE(button->text(), QStringLiteral("Start"));
        QCOMPARE(address->text(), QStringLiteral("The client view is off."));
        QVERIFY(code->pixmap().isNull());

        QCOMPARE(dialog.Start(QStringLiteral("127.0.0.1:0")), QString());
        QVERIFY(dialog.Running());
        const QString url = dialog.Url();
        const auto match =
            QRegularExpression(
                QStringLiteral("^http://127\\.0\\.0\\.1:(\\d+)/\\?key=[0-9a-f]{32,}$"))
                .match(url);
        QVERIFY2(match.hasMatch(), qPrintable(url));
        QCOMPARE(address->text(), url);
        QCOMPARE(button->text(), QStringLiteral("Stop"));
        QCOMPARE(fx.console.text(), "Client view: " + url.toStdString() + "\r\n");

        // The code shown is the address's: the image QrCode makes of it, square, both colours,
        // not the code of another key.
        const QImage shown = code->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage expected = CClientViewDlg::QrCode(url);
        QVERIFY(!shown.isNull());
        QCOMPARE(shown.width(), shown.height());
        QCOMPARE(shown, expected);
        int black = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) black += qGray(shown.pixel(x, y)) < 128;
        QVERIFY(black > shown.width() && black < shown.width() * shown.height() * 3 / 4);
        QVERIFY(CClientViewDlg::QrCode(QString(url).replace(url.size() - 1, 1, 'x')) != expected);

        // The page answers with the key only.
        const int port = match.captured(1).toInt();
        const std::string key = url.section(QStringLiteral("key="), 1).toStdString();
        QCOMPARE(statusOf(roundTrip(port, "GET", "/pictures?key=" + key)), 200);
        QCOMPARE(statusOf(roundTrip(port, "GET", "/pictures")), 401);
    }

    void thePicksSwitchMakesThePageReadOnly() {
        DocFixture fx;
        const std::string picture = fx.dir.path().toStdString() + "/Photo-0001.jpg";
        writePicture(picture);
        CClientViewDlg dialog(fx.doc.get());
        auto* picks = Child<QCheckBox>(dialog, "clientViewPicks");
        QCOMPARE(picks->text(), QStringLiteral("Client can pick pictures"));
        QVERIFY(picks->isChecked());
        picks->setChecked(false);
        QCOMPARE(dialog.Start(QStringLiteral("127.0.0.1:0")), QString());
        const int port = QUrl(dialog.Url()).port();
        const std::string key = dialog.Url().section(QStringLiteral("key="), 1).toStdString();
        fx.console.clear();

        // Off before the start: the page is told so and a pick is refused, nothing written.
        const std::string list = roundTrip(port, "GET", "/pictures?key=" + key);
        QVERIFY2(list.find("\"picks\":false") != std::string::npos, list.c_str());
        const std::string refused = roundTrip(port, "POST", "/pick/1?on=1&key=" + key);
        QCOMPARE(statusOf(refused), 403);
        QVERIFY(refused.find("Picks are switched off.") != std::string::npos);
        QVERIFY(!picture::ReadClientPick(picture));
        QVERIFY(!testsupport::Exists(picture + ".xmp"));

        // On while running: the pick lands in the sidecar and the console says so.
        picks->setChecked(true);
        QVERIFY(roundTrip(port, "GET", "/pictures?key=" + key).find("\"picks\":true") !=
                std::string::npos);
        QCOMPARE(statusOf(roundTrip(port, "POST", "/pick/1?on=1&key=" + key)), 200);
        QVERIFY(picture::ReadClientPick(picture));
        QCOMPARE(fx.console.text(), std::string("Client picked Photo-0001.jpg\r\n"));

        // Off again: a clear is refused as well, the pick stays.
        picks->setChecked(false);
        QCOMPARE(statusOf(roundTrip(port, "POST", "/pick/1?on=0&key=" + key)), 403);
        QVERIFY(picture::ReadClientPick(picture));
    }

    void stopDropsAnOpenPageAndClosesThePort() {
        DocFixture fx;
        CClientViewDlg dialog(fx.doc.get());
        QCOMPARE(dialog.Start(QStringLiteral("127.0.0.1:0")), QString());
        const int port = QUrl(dialog.Url()).port();
        const std::string key = dialog.Url().section(QStringLiteral("key="), 1).toStdString();
        // A page's event stream, open: its headers and first lines are in.
        const int page = connectTo(port);
        QVERIFY(page >= 0);
        const std::string request = "GET /events?key=" + key + " HTTP/1.1\r\nHost: kestrel\r\n\r\n";
        QVERIFY(::send(page, request.data(), request.size(), MSG_NOSIGNAL) > 0);
        std::string got;
        char buffer[4096];
        while (got.find("retry:") == std::string::npos) {
            const ssize_t n = ::recv(page, buffer, sizeof buffer, 0);
            QVERIFY2(n > 0, "the event stream did not start");
            got.append(buffer, n);
        }
        QCOMPARE(statusOf(got), 200);

        QTest::mouseClick(Child<QPushButton>(dialog, "clientViewStartStop"), Qt::LeftButton);
        QVERIFY(!dialog.Running());
        QCOMPARE(dialog.Url(), QString());
        QCOMPARE(Child<QLabel>(dialog, "clientViewAddress")->text(),
                 QStringLiteral("The client view is off."));
        QVERIFY(Child<QLabel>(dialog, "clientViewCode")->pixmap().isNull());
        // The stream ends (not a read timing out), and nothing listens on the port any more.
        ssize_t n;
        while ((n = ::recv(page, buffer, sizeof buffer, 0)) > 0) {}
        QVERIFY2(n == 0 || errno == ECONNRESET, "the open page was not dropped");
        ::close(page);
        QCOMPARE(connectTo(port), -1);
        QCOMPARE(errno, ECONNREFUSED);
    }

    // "Live view" ticked: the frames the document relays from the camera reach a page's stream;
    // unticked, the document hands the server no frame and the stream is refused.
    void theLiveViewBoxStreamsTheRelayedFrames() {
        DocFixture fx;
        fx.doc->setOnFrame(&Probe::OnFrame);   // as the viewscreen does
        CClientViewDlg dialog(fx.doc.get());
        auto* live = Child<QCheckBox>(dialog, "clientViewLive");
        QCOMPARE(live->text(), QStringLiteral("Live view"));
        QVERIFY(!live->isChecked());
        QCOMPARE(dialog.Start(QStringLiteral("127.0.0.1:0")), QString());
        const int port = QUrl(dialog.Url()).port();
        const std::string key = dialog.Url().section(QStringLiteral("key="), 1).toStdString();
        const std::vector<std::uint8_t> frame = MakeUniformFrame(77);
        CViewDoc::FrameRelay(const_cast<std::uint8_t*>(frame.data()),
                             static_cast<std::uint32_t>(frame.size()), 0, nullptr);
        QCOMPARE(statusOf(roundTrip(port, "GET", "/live?key=" + key)), 403);

        live->setChecked(true);
        const int page = connectTo(port);
        const std::string request = "GET /live?key=" + key + " HTTP/1.1\r\nHost: kestrel\r\n\r\n";
        QVERIFY(::send(page, request.data(), request.size(), MSG_NOSIGNAL) > 0);
        CViewDoc::FrameRelay(const_cast<std::uint8_t*>(frame.data()),
                             static_cast<std::uint32_t>(frame.size()), 0, nullptr);
        std::string got;
        char buffer[8192];
        while (got.find("\xff\xd9") == std::string::npos) {   // a whole JPEG
            const ssize_t n = ::recv(page, buffer, sizeof buffer, 0);
            QVERIFY2(n > 0, "no frame came on the live stream");
            got.append(buffer, n);
        }
        QCOMPARE(statusOf(got), 200);
        QVERIFY(got.find("Content-Type: image/jpeg") != std::string::npos);
        live->setChecked(false);
        ssize_t n;
        while ((n = ::recv(page, buffer, sizeof buffer, 0)) > 0) {}
        QCOMPARE(n, ssize_t{0});   // the stream ended
        ::close(page);
    }

    void aBadPlaceIsRefusedWithItsReason() {
        DocFixture fx;
        CClientViewDlg dialog(fx.doc.get());
        struct Row {
            const char* where;
            const char* why;
        } rows[] = {
            {"nonsense", "\"nonsense\" is not [ADDRESS:]PORT"},
            {"127.0.0.1:70000", "\"127.0.0.1:70000\" is not [ADDRESS:]PORT"},
            {"localhost:8420", "\"localhost\" is not an IPv4 address"},
            // Not an address of this machine: nothing is left listening.
            {"192.0.2.7:0", "cannot listen on 192.0.2.7:0 (the port may be in use)"},
        };
        for (const Row& row : rows) {
            QCOMPARE(dialog.Start(QString::fromLatin1(row.where)), QString::fromLatin1(row.why));
            QVERIFY(!dialog.Running());
        }
        QCOMPARE(fx.console.text(), std::string());
    }
};

QTEST_MAIN(TestClientViewDlg)
#include "ClientViewDlgTest.moc"
