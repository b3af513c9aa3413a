// A termination signal ends the event loop in order (so the program can save and close)
// instead of killing the process.
#include "app/CMainApp.h"
#include "app/QuitOnSignal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>

class TestSignal : public QObject {
    Q_OBJECT
private slots:
    void signalQuitsTheEventLoop_data() {
        QTest::addColumn<int>("number");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }

    void signalQuitsTheEventLoop() {
        QFETCH(int, number);
        QuitOnSignal quitOnSignal;
        bool timedOut = false;
        QTimer::singleShot(0, [number] { ::raise(number); });
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [&timedOut] {
            timedOut = true;
            QCoreApplication::quit();
        });
        guard.start(20000);
        QCoreApplication::exec();   // returns only through quit(): the process is still here
        QVERIFY(!timedOut);
        QCOMPARE(QuitOnSignal::receivedSignal(), number);
    }

    // A config.cfg that cannot be saved as the program ends is told in a notice the user sees
    // (the console goes with the window).
    void unsavedSettingsAreToldAtExit() {
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        QFile config(QStringLiteral("config.cfg"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write((dir.path() + QStringLiteral("/\nPhoto\n")).toUtf8());
        config.close();
        QVERIFY(config.setPermissions(QFile::ReadOwner));
        static QStringList told;
        told.clear();
        CMainApp::setExitNotice([](const QString& text) { told << text; });
        {
            CMainApp app;
            QVERIFY(app.InitInstance());
        }
        CMainApp::setExitNotice(nullptr);
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(told.size(), 1);
        QVERIFY2(
            told[0].startsWith(QStringLiteral("Settings not saved: ")) &&
                told[0].endsWith(QStringLiteral("config.cfg is read-only; it is left as it was")),
            qPrintable(told[0]));
    }
};

QTEST_MAIN(TestSignal)
#include "SignalTest.moc"
