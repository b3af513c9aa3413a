// A termination signal ends the event loop in order (so the program can save and close)
// instead of killing the process.
#include "app/QuitOnSignal.h"

#include <QCoreApplication>
#include <QTimer>
#include <QtTest>

#include <csignal>

class TestSignal : public QObject {
    Q_OBJECT
private slots:
    void signalQuitsTheEventLoop_data()
    {
        QTest::addColumn<int>("number");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }

    void signalQuitsTheEventLoop()
    {
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
};

QTEST_MAIN(TestSignal)
#include "test_signal.moc"
