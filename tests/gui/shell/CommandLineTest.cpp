// The command line: which cameras are listed, cameras named by model and port, help, mistakes.
#include "app/CommandLine.h"

#include <QtTest>

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void parses_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("listing");
        QTest::addColumn<QStringList>("cameras");
        QTest::addColumn<QString>("text");   // part of the help or error text
        using O = CommandLine::Outcome;
        using L = gphoto::Listing;
        QTest::newRow("default") << QStringList{} << int(O::Run) << int(L::All) << QStringList{}
                                 << QString();
        QTest::newRow("real") << QStringList{"--cameras=real"} << int(O::Run) << int(L::Real)
                              << QStringList{} << QString();
        QTest::newRow("simulated") << QStringList{"--cameras", "simulated"} << int(O::Run)
                                   << int(L::Simulated) << QStringList{} << QString();
        QTest::newRow("two cameras")
            << QStringList{"--camera", "Canon EOS 600D@ptpip:192.168.1.20",
                           "--camera=Nikon DSC D90@usb:001,004"}
            << int(O::Run) << int(L::All)
            << QStringList{"Canon EOS 600D@ptpip:192.168.1.20", "Nikon DSC D90@usb:001,004"}
            << QString();
        QStringList repeated;
        for (int i = 0; i < 5000; ++i)
            repeated << QStringLiteral("--camera=A@usb:001,004")
                     << (i == 1 ? "--camera=B@usb:2" : "--camera=A@usb:001,004");
        QTest::newRow("repeats collapse") << repeated << int(O::Run) << int(L::All)
                                          << QStringList{"A@usb:001,004", "B@usb:2"} << QString();
        QTest::newRow("help") << QStringList{"--help"} << int(O::Help) << int(L::All)
                              << QStringList{} << QString("--camera <MODEL@PORT>");
        QTest::newRow("bad listing")
            << QStringList{"--cameras=some"} << int(O::Error) << int(L::All) << QStringList{}
            << QString("--cameras takes all, real or simulated, not \"some\".");
        QTest::newRow("no port") << QStringList{"--camera", "Canon EOS 600D@"} << int(O::Error)
                                 << int(L::All) << QStringList{}
                                 << QString("--camera takes MODEL@PORT");
        QTest::newRow("unknown") << QStringList{"--fast"} << int(O::Error) << int(L::All)
                                 << QStringList{} << QString("fast");
    }

    void parses() {
        QFETCH(QStringList, args);
        QFETCH(int, outcome);
        QFETCH(int, listing);
        QFETCH(QStringList, cameras);
        QFETCH(QString, text);
        const CommandLine line = ParseCommandLine(QStringList{"kestrel"} + args);
        QCOMPARE(int(line.outcome), outcome);
        if (line.outcome != CommandLine::Outcome::Run) {
            QVERIFY2(line.text.contains(text), qPrintable(line.text));
            return;
        }
        QCOMPARE(int(line.cameras.listing), listing);
        QStringList named;
        for (const std::string& c : line.cameras.cameras) named << QString::fromStdString(c);
        QCOMPARE(named, cameras);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "CommandLineTest.moc"
