// The log console: exact texts, error reports, trimming to its limit, display, no console.
#include "views/CViewDebug.h"

#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>

#include <memory>

class TestConsole : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void formatsLikePrintf();
    void messageWithoutLineEndRunsOn();
    void emptyMessageChangesNothing();
    void textIsTakenLiterally();
    void displayShowsLineBreaks();
    void textControlBelowCaption();
    void errorReportFormat_data();
    void errorReportFormat();
    void logErrorWritesHeadingStepAndText();
    void trimLength_data();
    void trimLength();
    void trimsOldestWholeLines();
    void neverOverrunsUnderManyMessages();
    void oversizedMessageKeepsItsStart();
    void scrollsToNewestLine();
    void noConsoleNothingHappens();

private:
    std::unique_ptr<CViewDebug> console;
};

namespace {

QString shown(const std::string& log) {
    return QString::fromStdString(log).remove(QLatin1Char('\r'));
}

}   // namespace

void TestConsole::init() {
    console = std::make_unique<CViewDebug>(nullptr);
    console->resize(400, 300);
}

void TestConsole::cleanup() { console.reset(); }

void TestConsole::formatsLikePrintf() {
    console->WriteLog("Connecting to: %s\r\n", "EOS 20D");
    console->WriteLog("Delay remaining: %d\r\n", 12);
    QCOMPARE(console->logText(), std::string("Connecting to: EOS 20D\r\nDelay remaining: 12\r\n"));
}

void TestConsole::messageWithoutLineEndRunsOn() {
    console->WriteLog("Capturing Photo...");
    console->WriteLog("Photo Captured\r\n");
    QCOMPARE(console->logText(), std::string("Capturing Photo...Photo Captured\r\n"));
    QCOMPARE(console->textControl()->toPlainText(),
             QStringLiteral("Capturing Photo...Photo Captured\n"));
}

void TestConsole::emptyMessageChangesNothing() {
    console->WriteLog("Photo Captured\r\n");
    console->WriteLog(std::string());
    console->WriteLog("%s", "");
    QCOMPARE(console->logText(), std::string("Photo Captured\r\n"));
}

void TestConsole::textIsTakenLiterally() {
    console->WriteLog(std::string("100% %s %d\r\n"));
    QCOMPARE(console->logText(), std::string("100% %s %d\r\n"));
}

void TestConsole::displayShowsLineBreaks() {
    console->WriteLog("Disconnecting camera\r\n");
    console->WriteLog("No camera detected!\r\n");
    QCOMPARE(console->textControl()->toPlainText(),
             QStringLiteral("Disconnecting camera\nNo camera detected!\n"));
    QCOMPARE(console->textControl()->document()->blockCount(), 3);
    QVERIFY(console->textControl()->isReadOnly());
}

void TestConsole::textControlBelowCaption() {
    console->show();
    console->resize(592, 126);
    QCOMPARE(console->textControl()->geometry(), QRect(0, 20, 592, 106));
    console->resize(300, 15);
    QCOMPARE(console->textControl()->geometry(), QRect(0, 20, 300, 0));
}

void TestConsole::errorReportFormat_data() {
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("hour");
    QTest::addColumn<int>("minute");
    QTest::addColumn<int>("second");
    QTest::addColumn<QString>("heading");
    QTest::newRow("no leading zeros, day first")
        << 7 << 3 << 2006 << 9 << 5 << 3 << "\r\nDate: 7/3/2006 --- Time: 9:5:3\r\n";
    QTest::newRow("two digits") << 31 << 12 << 1999 << 23 << 59 << 59
                                << "\r\nDate: 31/12/1999 --- Time: 23:59:59\r\n";
    QTest::newRow("midnight") << 1 << 1 << 2024 << 0 << 0 << 0
                              << "\r\nDate: 1/1/2024 --- Time: 0:0:0\r\n";
}

void TestConsole::errorReportFormat() {
    QFETCH(int, day);
    QFETCH(int, month);
    QFETCH(int, year);
    QFETCH(int, hour);
    QFETCH(int, minute);
    QFETCH(int, second);
    QFETCH(QString, heading);
    std::tm when{};
    when.tm_mday = day;
    when.tm_mon = month - 1;
    when.tm_year = year - 1900;
    when.tm_hour = hour;
    when.tm_min = minute;
    when.tm_sec = second;
    const std::string error = "The camera is busy.\r\nTry again.\r\n";
    QCOMPARE(CViewDebug::FormatErrorReport(when, "GetTV::CDGetTvValue", error),
             heading.toStdString() + "--- GetTV::CDGetTvValue ---\r\n" + error);
}

void TestConsole::logErrorWritesHeadingStepAndText() {
    QCOMPARE(CViewDebug::activeConsole(), console.get());
    console->WriteLog("Capturing Photo...\r\n");
    CViewDebug::LogError("TakePicture::CDRelease", "100% %s lost\r\n");
    const QString log = QString::fromStdString(console->logText());
    static const QRegularExpression pattern(
        QStringLiteral("^Capturing Photo\\.\\.\\.\\r\\n\\r\\nDate: [1-9]\\d?/[1-9]\\d?/\\d{4} --- "
                       "Time: (0|[1-9]\\d?):(0|[1-9]\\d?):(0|[1-9]\\d?)\\r\\n"
                       "--- TakePicture::CDRelease ---\\r\\n100% %s lost\\r\\n$"));
    QVERIFY2(pattern.match(log).hasMatch(), qPrintable(log));
}

void TestConsole::trimLength_data() {
    QTest::addColumn<QString>("log");
    QTest::addColumn<int>("incoming");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("drop");
    QTest::newRow("fits") << "ab\r\ncd\r\n" << 2 << 10 << 0;
    QTest::newRow("fits exactly") << "ab\r\ncd\r\n" << 2 << 10 << 0;
    QTest::newRow("one over: first line") << "ab\r\ncd\r\n" << 3 << 10 << 4;
    QTest::newRow("needs more than a line") << "ab\r\ncd\r\nef" << 6 << 10 << 8;
    QTest::newRow("cut lands on a line end") << "ab\r\ncd\r\n" << 6 << 10 << 4;
    QTest::newRow("no line break: all") << "abcdefgh" << 3 << 10 << 8;
    QTest::newRow("last line unfinished: all") << "ab\r\ncdefgh" << 8 << 10 << 10;
    QTest::newRow("incoming fills the limit") << "ab\r\n" << 10 << 10 << 4;
}

void TestConsole::trimLength() {
    QFETCH(QString, log);
    QFETCH(int, incoming);
    QFETCH(int, limit);
    QFETCH(int, drop);
    QCOMPARE(int(CViewDebug::CharsToDrop(log.toStdString(), incoming, limit)), drop);
}

void TestConsole::trimsOldestWholeLines() {
    // 499 lines of 100 characters: 49,900.
    for (int i = 0; i < 499; ++i) console->WriteLog("%098d\r\n", i);
    QCOMPARE(console->logText().size(), std::size_t(49900));
    console->WriteLog("%s", std::string(99, 'x').c_str());   // 49,999: still fits
    QCOMPARE(console->logText().size(), std::size_t(49999));
    QCOMPARE(console->logText().substr(0, 100), std::string(98, '0') + "\r\n");

    console->WriteLog("y\r\n");   // three over: the whole first line goes, nothing more
    const std::string& log = console->logText();
    QCOMPARE(log.size(), std::size_t(49999 - 100 + 3));
    QCOMPARE(log.substr(0, 100), std::string(97, '0') + "1\r\n");
    QCOMPARE(log.substr(log.size() - 102), std::string(99, 'x') + "y\r\n");
    QCOMPARE(console->textControl()->toPlainText(), shown(log));

    // A message of 250 characters needs two more lines to go.
    console->WriteLog("%s\r\n", std::string(248, 'w').c_str());
    QCOMPARE(console->logText().substr(0, 100), std::string(97, '0') + "3\r\n");
    QVERIFY(console->logText().size() <= CViewDebug::kMaxLogChars);
    QCOMPARE(console->textControl()->toPlainText(), shown(console->logText()));
}

void TestConsole::neverOverrunsUnderManyMessages() {
    std::string last;
    for (int i = 0; i < 3000; ++i) {
        last = "Line " + std::to_string(i) + std::string(i % 57, '.') + "\r\n";
        console->WriteLog(last);
        QVERIFY(console->logText().size() <= CViewDebug::kMaxLogChars);
    }
    const std::string& log = console->logText();
    QVERIFY(log.size() > CViewDebug::kMaxLogChars - 100);
    QCOMPARE(log.substr(0, 5), std::string("Line "));   // starts with a whole line
    QCOMPARE(log.substr(log.size() - last.size()), last);
    QCOMPARE(console->textControl()->toPlainText(), shown(log));
}

void TestConsole::oversizedMessageKeepsItsStart() {
    console->WriteLog("before\r\n");
    std::string huge = "start" + std::string(60000, 'z');
    console->WriteLog(huge);
    QCOMPARE(console->logText(), huge.substr(0, CViewDebug::kMaxLogChars));
    console->WriteLog("next\r\n");
    QCOMPARE(console->logText(), std::string("next\r\n"));   // no line end to keep any of it
    QCOMPARE(console->textControl()->toPlainText(), QStringLiteral("next\n"));
}

void TestConsole::scrollsToNewestLine() {
    console->show();
    for (int i = 0; i < 200; ++i) console->WriteLog("Taking photo... %d\r\n", i);
    QScrollBar* bar = console->textControl()->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
}

void TestConsole::noConsoleNothingHappens() {
    console.reset();
    QVERIFY(CViewDebug::activeConsole() == nullptr);
    CViewDebug::LogError("GetTV::CDGetTvValue", "lost\r\n");   // dropped, no crash
    WriteLog(nullptr, "Photo Captured\r\n");

    struct NotAConsole : CView {
    } other;
    WriteLog(&other, "Photo Captured\r\n");

    CViewDebug again(nullptr);
    QCOMPARE(CViewDebug::activeConsole(), &again);
    QVERIFY(again.logText().empty());
    WriteLog(&again, "Connecting to: %s\r\n", "EOS 20D");
    QCOMPARE(again.logText(), std::string("Connecting to: EOS 20D\r\n"));
}

QTEST_MAIN(TestConsole)
#include "ConsoleTest.moc"
