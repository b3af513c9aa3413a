// The Time panel: its rows, numbering and delay check, removal and Stop while running, and the
// hand-over from the worker, which never waits for the user-interface thread.
#include "support/PaneTestSupport.h"
#include "support/SequenceTestSupport.h"
#include "support/ThreadWait.h"

#include "capture/CCapTimeDlg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <thread>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;

namespace {

struct Panel {
    FakeClock* clock;
    FakeCamera* camera = new FakeCamera;
    std::unique_ptr<CCapTimeDlg> dlg;
    // With a document, the panel's console lines go to its console.
    explicit Panel(bool gated = false, bool realClock = false, CViewDoc* document = nullptr)
        : clock(realClock ? nullptr : new FakeClock(gated)) {
        dlg = std::make_unique<CCapTimeDlg>(nullptr, std::unique_ptr<SequenceClock>(clock));
        if (document) dlg->setDocument(document);
        dlg->setSequenceCamera(std::unique_ptr<SequenceCamera>(camera));
    }
    QTableWidget* list() const { return dlg->stepList(); }
    QStringList column(int c) const {
        QStringList texts;
        for (int r = 0; r < list()->rowCount(); ++r) texts << list()->item(r, c)->text();
        return texts;
    }
    void addDelay(const QString& text) {
        dlg->secondsEdit()->setText(text);
        QTest::mouseClick(dlg->addDelayButton(), Qt::LeftButton);
    }
    void select(std::initializer_list<int> rows) {
        list()->clearSelection();
        for (int r : rows)
            list()->selectionModel()->select(
                list()->model()->index(r, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    std::vector<int> queueNumbers() const {
        std::vector<int> numbers;
        for (const auto& e : dlg->sequence().Queue()) numbers.push_back(e.number);
        return numbers;
    }
};

// The text of the message box the next action opens, which is then closed.
QString NextMessageBox(const std::function<void()>& action) {
    QString text;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->text();
            box->accept();
        }
    });
    action();
    return text;
}

QPushButton* Button(const QWidget& panel, const char* text) {
    for (QPushButton* button : panel.findChildren<QPushButton*>())
        if (button->text() == QLatin1String(text)) return button;
    return nullptr;
}

}   // namespace

class TimePanelTest : public QObject {
    Q_OBJECT
private slots:
    void rowsNumbersAndDelays() {
        Panel p;
        QCOMPARE(p.dlg->secondsEdit()->text(), QStringLiteral("1"));
        QCOMPARE(p.list()->horizontalHeaderItem(0)->text(), QStringLiteral("#"));
        QCOMPARE(p.list()->horizontalHeaderItem(1)->text(), QStringLiteral("Item"));
        QCOMPARE(p.list()->columnWidth(0), 20);
        QCOMPARE(p.list()->columnWidth(1), 100);
        p.addDelay("5");
        p.addDelay("3");
        QTest::mouseClick(p.dlg->addPhotoButton(), Qt::LeftButton);
        p.addDelay("007");
        p.addDelay("99999");
        QCOMPARE(p.column(0), (QStringList{"1", "2", "3", "4", "5"}));
        QCOMPARE(p.column(1), (QStringList{"Delay: 5 secs", "Delay: 3 secs", "Photo",
                                           "Delay: 007 secs", "Delay: 99999 secs"}));
        std::vector<int> delays;
        for (const auto& e : p.dlg->sequence().Queue()) delays.push_back(e.item.delaySeconds);
        QCOMPARE(delays, (std::vector<int>{5, 3, 0, 7, 99999}));
        QCOMPARE(CCapTimeDlg::DelayRowText("1"), QStringLiteral("Delay: 1 sec"));
        QCOMPARE(CCapTimeDlg::DelayRowText("01"), QStringLiteral("Delay: 01 sec"));

        for (const QString& refused : {QStringLiteral("00"), QString()}) {
            const QString shown = NextMessageBox([&] { p.addDelay(refused); });
            QCOMPARE(shown, QStringLiteral("This is an invalid delay value"));
        }
        QCOMPARE(p.list()->rowCount(), 5);
        p.dlg->secondsEdit()->clear();
        QTest::keyClicks(p.dlg->secondsEdit(), "12a345678");
        QCOMPARE(p.dlg->secondsEdit()->text(), QStringLiteral("12345"));

        // Numbers keep growing while rows go from the top, and restart in an empty list.
        p.select({0, 1, 2, 3});
        QTest::mouseClick(p.dlg->removeButton(), Qt::LeftButton);
        QCOMPARE(p.column(0), QStringList{"5"});
        QTest::mouseClick(p.dlg->addPhotoButton(), Qt::LeftButton);
        QCOMPARE(p.column(0), (QStringList{"5", "6"}));
        QCOMPARE(p.queueNumbers(), (std::vector<int>{5, 6}));
        p.select({0, 1});
        QTest::mouseClick(p.dlg->removeButton(), Qt::LeftButton);
        QVERIFY(p.dlg->sequence().Queue().empty());
        QTest::mouseClick(p.dlg->addPhotoButton(), Qt::LeftButton);
        QCOMPARE(p.column(0), QStringList{"1"});
    }

    // While a delay runs: rows 0 and 2 selected, only row 2 goes; a row added runs in the same
    // run; Stop keeps "Stop" until the delay is over, then the rest stays for later.
    void removeAddAndStopWhileRunning() {
        Panel p(true);
        p.addDelay("5");
        QTest::mouseClick(p.dlg->addPhotoButton(), Qt::LeftButton);
        QTest::mouseClick(p.dlg->addPhotoButton(), Qt::LeftButton);
        QTest::mouseClick(p.dlg->captureButton(), Qt::LeftButton);
        QCOMPARE(p.dlg->captureButton()->text(), QStringLiteral("Stop"));
        QVERIFY(p.clock->WaitForWaiting());
        p.select({0, 2});
        QTest::mouseClick(p.dlg->removeButton(), Qt::LeftButton);
        QCOMPARE(p.column(0), (QStringList{"1", "2"}));
        QTest::mouseClick(p.dlg->addPhotoButton(), Qt::LeftButton);
        QCOMPARE(p.queueNumbers(),
                 (std::vector<int>{1, 2, 3}));   // 1 + the larger of 2 rows and #2
        QTest::mouseClick(p.dlg->captureButton(), Qt::LeftButton);   // Stop
        QVERIFY(p.dlg->sequence().stopRequested());
        // Said at once (issue 17), not when the step ends.
        QCOMPARE(p.dlg->captureButton()->text(), QStringLiteral("Stopping..."));
        p.clock->Open();
        QTRY_COMPARE_WITH_TIMEOUT(p.dlg->captureButton()->text(), QStringLiteral("Capture Photos"),
                                  kThreadWaitMs);
        QCOMPARE(p.column(0), (QStringList{"2", "3"}));
        QCOMPARE(p.queueNumbers(), (std::vector<int>{2, 3}));
        QCOMPARE(p.camera->pictures, 0);
        QCOMPARE(p.camera->text(), std::string("Delay remaining: 4\r\nDelay remaining: 3\r\nDelay "
                                               "remaining: 2\r\nDelay remaining: 1\r\n"));
        // "Capture Photos" goes on from there.
        QTest::mouseClick(p.dlg->captureButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(p.list()->rowCount(), 0, kThreadWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(p.dlg->captureButton()->text(), QStringLiteral("Capture Photos"),
                                  kThreadWaitMs);
        QCOMPARE(p.camera->pictures, 2);
    }

    // Every text shows whole at the window's font, in the panel's smallest size and as wide as
    // the window at 800 x 600 gives it: each button as wide as its text needs (each of the
    // capture button's three), the progress line's longest text within its box, and no two
    // controls on top of each other.
    void textsFitAtTheWindowsFont_data() {
        QTest::addColumn<int>("width");
        QTest::newRow("smallest") << 0;
        QTest::newRow("800 x 600") << 582;
    }
    void textsFitAtTheWindowsFont() {
        QFETCH(int, width);
        Panel p;
        if (width > 0) p.dlg->resize(width, 150);
        p.dlg->show();
        for (QPushButton* button : p.dlg->findChildren<QPushButton*>()) {
            QStringList texts{button->text()};
            if (button == p.dlg->captureButton())
                texts << "Stop"
                      << "Stopping...";
            for (const QString& text : texts) {
                button->setText(text);
                QVERIFY2(button->width() >= button->sizeHint().width(), qPrintable(text));
            }
        }
        p.dlg->captureButton()->setText(QStringLiteral("Capture Photos"));
        p.dlg->repeatBox()->setValue(0);   // "Until stopped"
        QVERIFY(p.dlg->repeatBox()->width() >= p.dlg->repeatBox()->sizeHint().width());
        QLabel* progress = p.dlg->progressLabel();
        const QString longest = QStringLiteral("Repeat 12 of 500, step 160, next photo in 99999 s");
        if (width > 0)
            QVERIFY(QFontMetrics(progress->font()).horizontalAdvance(longest) <= progress->width());
        else QVERIFY(progress->heightForWidth(progress->width()) <= progress->height());
        QList<QWidget*> controls;
        for (QWidget* w : p.dlg->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (!w->isHidden()) controls << w;
        for (int i = 0; i < controls.size(); ++i)
            for (int j = i + 1; j < controls.size(); ++j)
                QVERIFY2(!controls[i]->geometry().intersects(controls[j]->geometry()),
                         qPrintable(controls[i]->metaObject()->className() + QString(" / ") +
                                    controls[j]->metaObject()->className()));
    }

    // A repeated run keeps its rows as built: Stop during a delay of a run "until stopped"
    // gives the list back whole, a finished run of three passes too, and the next run starts
    // from the top. Load List is greyed while a run goes on.
    void repeatedRunKeepsTheList() {
        Panel p(true);
        p.addDelay("5");
        QTest::mouseClick(p.dlg->addPhotoButton(), Qt::LeftButton);
        QPushButton* load = Button(*p.dlg, "Load List");
        p.dlg->repeatBox()->setValue(0);
        QTest::mouseClick(p.dlg->captureButton(), Qt::LeftButton);
        QVERIFY(p.clock->WaitForWaiting());
        QVERIFY(!load->isEnabled());
        QTest::mouseClick(p.dlg->captureButton(), Qt::LeftButton);   // Stop
        p.clock->Open();
        QTRY_COMPARE_WITH_TIMEOUT(p.dlg->captureButton()->text(), QStringLiteral("Capture Photos"),
                                  kThreadWaitMs);
        const QStringList built = {"Delay: 5 secs", "Photo"};
        QCOMPARE(p.column(1), built);
        QCOMPARE(p.column(0), (QStringList{"1", "2"}));
        QCOMPARE(p.queueNumbers(), (std::vector<int>{1, 2}));
        QCOMPARE(p.dlg->sequence().Queue().front().item.delaySeconds, 5);
        QCOMPARE(p.camera->pictures, 0);
        QVERIFY(load->isEnabled());

        p.dlg->repeatBox()->setValue(3);
        QTest::mouseClick(p.dlg->captureButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(p.dlg->captureButton()->text(), QStringLiteral("Capture Photos"),
                                  kThreadWaitMs);
        QCOMPARE(p.camera->pictures, 3);
        QCOMPARE(p.column(1), built);
        QCOMPARE(p.queueNumbers(), (std::vector<int>{1, 2}));
    }

    // A list with no delay that repeats would take pictures as fast as the camera allows: it is
    // refused before it starts, with a box saying why. Run once, it runs.
    void repeatedListWithoutADelayIsRefused() {
        Panel p;
        QTest::mouseClick(p.dlg->addPhotoButton(), Qt::LeftButton);
        QTest::mouseClick(p.dlg->addPhotoButton(), Qt::LeftButton);
        for (int times : {0, 3}) {
            p.dlg->repeatBox()->setValue(times);
            const QString shown =
                NextMessageBox([&] { QTest::mouseClick(p.dlg->captureButton(), Qt::LeftButton); });
            QCOMPARE(shown, QStringLiteral("A list that repeats needs a delay: without one it "
                                           "would take pictures as fast as the camera allows. "
                                           "Add a delay, or set Times to 1"));
            QVERIFY(!p.dlg->sequence().running());
            QCOMPARE(p.dlg->captureButton()->text(), QStringLiteral("Capture Photos"));
        }
        QCOMPARE(p.camera->pictures, 0);
        p.dlg->repeatBox()->setValue(1);
        QTest::mouseClick(p.dlg->captureButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(p.list()->rowCount(), 0, kThreadWaitMs);
        QCOMPARE(p.camera->pictures, 2);
    }

    // A saved list loads back as the same rows and repeat count; a bad file changes nothing.
    void saveAndLoadTheList() {
        QTemporaryDir dir;
        Panel panel;
        panel.addDelay("10");
        QTest::mouseClick(panel.dlg->addPhotoButton(), Qt::LeftButton);
        panel.dlg->repeatBox()->setValue(500);
        const QString path = dir.filePath("night.ktl");
        QVERIFY(panel.dlg->SaveList(path));

        Panel other;
        other.addDelay("3");
        QFile bad(dir.filePath("bad.ktl"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("kestrel-time-list 1\ndelay 1\nphoto\n  TV = 1/125\n  TV = 1/60\n");
        bad.close();
        QVERIFY(!other.dlg->LoadList(bad.fileName()));
        QCOMPARE(other.column(1), QStringList{"Delay: 3 secs"});
        QCOMPARE(other.dlg->repeatBox()->value(), 1);

        QVERIFY(other.dlg->LoadList(path));
        QCOMPARE(other.column(1), panel.column(1));
        QCOMPARE(other.column(0), (QStringList{"1", "2"}));
        QCOMPARE(other.dlg->repeatBox()->value(), 500);
        QCOMPARE(other.dlg->sequence().Queue().size(), std::size_t(2));
        QCOMPARE(other.dlg->sequence().Queue().front().item.delaySeconds, 10);
        QVERIFY(other.dlg->ProgressText().isEmpty());   // no run
    }

    // Load List reads as the settings files are read: a regular file only, never waited on,
    // at most 16 MB. A refusal is one console line and the list stays as it was.
    void loadListRefusals() {
        DocFixture fx;
        Panel p(false, false, fx.doc.get());
        p.addDelay("3");
        const QString dir = fx.dir.path();
        const std::string fifo = (dir + "/fifo.ktl").toStdString();
        QVERIFY(::mkfifo(fifo.c_str(), 0600) == 0);
        const std::string big = (dir + "/big.ktl").toStdString();
        QFile header(QString::fromStdString(big));
        QVERIFY(header.open(QIODevice::WriteOnly));
        header.write("kestrel-time-list 1\n");
        header.close();
        QVERIFY(::truncate(big.c_str(), 16 * 1024 * 1024 + 1) == 0);   // sparse
        const std::string none = (dir + "/none.ktl").toStdString();
        const std::pair<std::string, std::string> cases[] = {
            {fifo, fifo + " is a fifo, not a regular file; it is not read"},
            {dir.toStdString(),
             dir.toStdString() + " is a folder, not a regular file; it is not read"},
            {big, big + " is larger than 16 MB; it is not read"},
            {none, none + ": there is no such file"},
        };
        for (const auto& [path, said] : cases) {
            fx.console.clear();
            QVERIFY(!p.dlg->LoadList(QString::fromStdString(path)));
            QCOMPARE(QString::fromStdString(fx.console.text()),
                     QString::fromStdString("List not loaded: " + said + "\r\n"));
            QCOMPARE(p.column(1), QStringList{"Delay: 3 secs"});
        }
    }

    // Save List adds ".ktl" to a name without one and replaces the file whole: a write that
    // fails (the file size limit standing in for a full disk) leaves the old file as it was
    // and says so, never "List saved". One step is "1 step".
    void saveListWritesWholeOrNothing() {
        DocFixture fx;
        Panel p(false, false, fx.doc.get());
        p.addDelay("1");
        const QString bare = fx.dir.filePath("night");
        QVERIFY(p.dlg->SaveList(bare));
        QVERIFY(!QFile::exists(bare));
        QCOMPARE(QString::fromStdString(fx.console.text()), "List saved: " + bare + ".ktl\r\n");
        QVERIFY(p.dlg->LoadList(bare + ".ktl"));
        QCOMPARE(QString::fromStdString(fx.console.text()).section("\r\n", 1),
                 "List loaded: " + bare + ".ktl (1 step)\r\n");
        QCOMPARE(p.column(1), QStringList{"Delay: 1 sec"});

        const QString path = fx.dir.filePath("kept.ktl");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("kestrel-time-list 1\n");
        old.close();
        for (int i = 0; i < 40; ++i) QTest::mouseClick(p.dlg->addPhotoButton(), Qt::LeftButton);
        fx.console.clear();
        rlimit saved{};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 64;
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
        const bool written = p.dlg->SaveList(path);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
        QVERIFY(!written);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("kestrel-time-list 1\n"));
        QCOMPARE(QString::fromStdString(fx.console.text()),
                 "List not saved: cannot write " + path + ": File too large\r\n");
        QVERIFY(QDir(fx.dir.path())
                    .entryList({QStringLiteral(".kestrel-save-*")}, QDir::Hidden | QDir::Files)
                    .isEmpty());
    }

    // The worker finishes a whole run while the user-interface thread does not run its event
    // loop; the rows and the button follow when it does.
    void workerNeverWaitsForTheWindow() {
        Panel p;
        p.addDelay("2");
        for (int i = 0; i < 3; ++i) QTest::mouseClick(p.dlg->addPhotoButton(), Qt::LeftButton);
        QTest::mouseClick(p.dlg->captureButton(), Qt::LeftButton);
        QElapsedTimer bound;
        bound.start();
        while (p.dlg->sequence().running() && bound.elapsed() < kThreadWaitMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        QVERIFY(!p.dlg->sequence().running());
        QCOMPARE(p.camera->pictures, 3);
        QCOMPARE(p.list()->rowCount(), 4);   // nothing shown yet
        QTRY_COMPARE_WITH_TIMEOUT(p.list()->rowCount(), 0, kThreadWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(p.dlg->captureButton()->text(), QStringLiteral("Capture Photos"),
                                  kThreadWaitMs);
    }

    // Destroying the panel during a long delay on the real clock ends the run at once.
    void destroyingDuringALongDelayReturnsPromptly() {
        Panel p(false, true);
        p.addDelay("99999");
        QTest::mouseClick(p.dlg->addPhotoButton(), Qt::LeftButton);
        QTest::mouseClick(p.dlg->captureButton(), Qt::LeftButton);
        QVERIFY(p.dlg->sequence().running());
        QElapsedTimer timer;
        timer.start();
        p.dlg.reset();
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    }
};

QTEST_MAIN(TimePanelTest)
#include "TimePanelTest.moc"
