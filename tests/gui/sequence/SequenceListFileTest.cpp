// The saved Time list: a list written and read back is the same list, and each kind of bad
// line is refused with its number and leaves the list as it was.
#include "capture/SequenceListFile.h"

#include <QtTest>

using camera::Setting;

class SequenceListFileTest : public QObject {
    Q_OBJECT
private slots:
    void roundTrip() {
        SequenceList list;
        list.repeats = 500;
        SequenceItem delay;
        delay.delaySeconds = 10;
        SequenceItem photo;
        photo.zoomPosition = 3;
        photo.labels[camera::IndexOf(Setting::TV)] = "1/125";
        photo.labels[camera::IndexOf(Setting::ImageSize)] = "RAW + Large";
        photo.labels[camera::IndexOf(Setting::WhiteBalance)] = "Black & White";
        list.steps = {delay, photo, SequenceItem{}};
        const std::string text = WriteSequenceList(list);
        QCOMPARE(QString::fromStdString(text),
                 QStringLiteral("kestrel-time-list 1\nrepeat 500\ndelay 10\nphoto\n  zoom = 3\n"
                                "  Image Size = RAW + Large\n  TV = 1/125\n"
                                "  White Balance = Black & White\nphoto\n  zoom = 0\n"));
        SequenceList back;
        std::string error;
        QVERIFY2(ReadSequenceList(text, back, error), error.c_str());
        QCOMPARE(back.repeats, 500);
        QCOMPARE(back.steps.size(), std::size_t(3));
        QCOMPARE(back.steps[0].delaySeconds, 10);
        QCOMPARE(back.steps[1].labels, photo.labels);
        QCOMPARE(back.steps[1].zoomPosition, 3u);
        QVERIFY(!back.steps[2].isDelay());
        // Comments, blank lines, CRLF and no repeat line (one pass).
        QVERIFY(ReadSequenceList("# mine\r\n\r\nkestrel-time-list 1\r\ndelay 5\r\n", back, error));
        QCOMPARE(back.repeats, 1);
        QCOMPARE(back.steps.size(), std::size_t(1));
        // A byte-order mark, as some editors save UTF-8.
        QVERIFY2(ReadSequenceList("\xEF\xBB\xBFkestrel-time-list 1\ndelay 2\n", back, error),
                 error.c_str());
        QCOMPARE(back.steps.size(), std::size_t(1));
    }

    void badLines_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        const QString h = "kestrel-time-list 1\n";
        QTest::newRow("empty") << ""
                               << "line 1: not a Time list: the first line must be "
                                  "\"kestrel-time-list 1\"";
        QTest::newRow("other header") << "kestrel-time-list 2\ndelay 1\n"
                                      << "line 1: not a Time list: the first line must be "
                                         "\"kestrel-time-list 1\"";
        QTest::newRow("unknown line") << h + "delay 1\nwait 4\n"
                                      << "line 3: unknown line \"wait 4\"";
        QTest::newRow("delay zero") << h + "delay 0\n"
                                    << "line 2: a delay is a whole number of seconds 1 to 99999";
        QTest::newRow("delay too long")
            << h + "delay 100000\n"
            << "line 2: a delay is a whole number of seconds 1 to 99999";
        QTest::newRow("delay not a number")
            << h + "delay 5s\n"
            << "line 2: a delay is a whole number of seconds 1 to 99999";
        QTest::newRow("repeat after steps") << h + "delay 1\nrepeat 3\n"
                                            << "line 3: repeat must come before the steps";
        QTest::newRow("repeat twice") << h + "repeat 3\nrepeat 3\n"
                                      << "line 3: repeat is given twice";
        QTest::newRow("repeat negative") << h + "repeat -1\n"
                                         << "line 2: repeat must be a whole number 0 to 999999";
        QTest::newRow("setting outside a photo") << h + "delay 1\n  TV = 1/125\n"
                                                 << "line 3: a setting line outside a photo step";
        QTest::newRow("unknown setting") << h + "photo\n  Speed = 1/125\n"
                                         << "line 3: no setting is called \"Speed\"";
        QTest::newRow("setting twice") << h + "photo\n  TV = 1/125\n  TV = 1/60\n"
                                       << "line 4: TV is given twice for this photo step";
        QTest::newRow("no value") << h + "photo\n  AV =\n"
                                  << "line 3: AV has no value";
        QTest::newRow("no equals") << h + "photo\n  TV 1/125\n"
                                   << "line 3: a setting line needs \"NAME = LABEL\"";
        QTest::newRow("bad zoom") << h + "photo\n  zoom = -2\n"
                                  << "line 3: zoom must be a whole number 0 to 99999";
        QTest::newRow("5 MB line") << h + "delay 1\n# " + QString(5 * 1024 * 1024, 'x') + "\n"
                                   << "line 3: longer than 4096 characters";
        QTest::newRow("100,001 steps")
            << h + QString("delay 1\n").repeated(100001) << "line 100002: more than 100000 steps";
        QTest::newRow("control character") << h + "photo\n  TV = 1/1\x01"
                                                  "25\n"
                                           << "line 3: a control character";
    }
    // Save List's names: ".ktl" is added to a name without an extension.
    void listExtension() {
        for (const auto& [given, saved] : std::vector<std::pair<std::string, std::string>>{
                 {"/me/night", "/me/night.ktl"},
                 {"/me/night.", "/me/night.ktl"},
                 {"/me/night.ktl", "/me/night.ktl"},
                 {"/me/night.list", "/me/night.list"},
                 {"/my.lists/.hidden", "/my.lists/.hidden.ktl"}})
            QCOMPARE(QString::fromStdString(WithListExtension(given)),
                     QString::fromStdString(saved));
    }

    void badLines() {
        QFETCH(QString, text);
        QFETCH(QString, error);
        SequenceList list;
        list.repeats = 7;
        list.steps.resize(2);
        std::string said;
        QVERIFY(!ReadSequenceList(text.toStdString(), list, said));
        QCOMPARE(QString::fromStdString(said), error);
        QCOMPARE(list.repeats, 7);   // nothing taken from a bad file
        QCOMPARE(list.steps.size(), std::size_t(2));
    }
};

QTEST_GUILESS_MAIN(SequenceListFileTest)
#include "SequenceListFileTest.moc"
