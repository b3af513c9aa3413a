// The Info pane's name template, tokens, job text and preview, checked against the files the
// simulated camera really writes.
#include "support/PaneTestSupport.h"
#include "support/ReviewTestSupport.h"
#include "support/ThreadWait.h"

#include "capture/CReviewPanel.h"
#include "document/NameTemplate.h"
#include "views/CViewInfo.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

#include <ctime>
#include <filesystem>

using namespace testsupport;

namespace {

QLineEdit* box(const CViewInfo& info, const char* name) { return Child<QLineEdit>(info, name); }

// Types text into a box as a user does (the box's own text replaced).
void typeInto(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    edit->del();
    QTest::keyClicks(edit, text);
}

std::string today(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm when{};
    localtime_r(&now, &when);
    return NameTemplate::FormatTime(when, format);
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}

}   // namespace

class NamingPaneTest : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetSimulators(WorldOf({SmallCamera("Cd One")}), WorldOf({})); }

    // The preview is the name the next capture gets: typed, captured, compared on disk, for
    // the default template (which carries on the folder's numbers) and for a templated one.
    void previewIsTheNameTheNextCaptureGets_data() {
        QTest::addColumn<QString>("nameTemplate");
        QTest::addColumn<QString>("job");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("default") << QString::fromLatin1(NameTemplate::kDefault) << QString()
                                 << QStringList{"Photo-0000.jpg", "Photo-0002.jpg"}
                                 << QStringList{"Photo-0003.jpg", "Photo-0004.jpg"};
        const QString day = QString::fromStdString(today("yyyyMMdd"));
        QTest::newRow("job and date")
            << "{job}_{date:yyyyMMdd}_{number:3}"
            << "Smith" << QStringList{"Smith_19991231_007.jpg"}
            << QStringList{"Smith_" + day + "_000.jpg", "Smith_" + day + "_001.jpg"};
        QTest::newRow("camera") << "{camera} {number:2}" << QString() << QStringList{}
                                << QStringList{"Cd One 00.jpg", "Cd One 01.jpg"};
    }
    void previewIsTheNameTheNextCaptureGets() {
        QFETCH(QString, nameTemplate);
        QFETCH(QString, job);
        QFETCH(QStringList, present);
        QFETCH(QStringList, expected);
        DocFixture fx;
        for (const QString& name : present) WriteFile(fx.dir.filePath(name).toStdString(), "older");
        fx.doc->UpdateDeviceList();
        QVERIFY(fx.doc->ConnectCamera("Cd One"));
        CViewInfo info(fx.doc.get());
        typeInto(box(info, "nameTemplate"), nameTemplate);
        typeInto(box(info, "jobText"), job);
        QCOMPARE(fx.doc->namingSettings().nameTemplate, nameTemplate.toStdString());
        QCOMPARE(fx.doc->namingSettings().job, job.toStdString());
        for (const QString& name : expected) {
            info.RefreshPreview();   // the window does this after each picture saved
            QTRY_COMPARE_WITH_TIMEOUT(info.previewText(), CViewInfo::kNextPrefix + name,
                                      kThreadWaitMs);
            QVERIFY(!filesIn(fx.dir.path()).contains(name));
            QVERIFY(fx.doc->TakePicture());
            QVERIFY2(filesIn(fx.dir.path()).contains(name),
                     qPrintable(filesIn(fx.dir.path()).join(", ")));
        }
    }

    // A template that cannot be used shows why on the preview line; a capture is refused with
    // the same words on the console, and the camera is never released.
    void aRefusedTemplateSaysWhyAndNothingIsReleased_data() {
        QTest::addColumn<QString>("nameTemplate");
        QTest::addColumn<QString>("job");
        QTest::addColumn<QString>("why");
        QTest::newRow("slash from the job")
            << "{job}-{number}"
            << "a/b"
            << "in the name template, {job} puts a '/' in the file name";
        QTest::newRow("a folder from the job")
            << "{job}/{number}"
            << ".."
            << "in the name template, {job} is \"..\", which names a folder";
        QTest::newRow("slash of its own") << "x/{number}" << QString()
                                          << "in the name template, the template's own text "
                                             "puts a '/' in the file name";
        QTest::newRow("unknown token") << "{nmae}-{number}" << QString()
                                       << "the name template cannot be used: unknown token {nmae}";
        QTest::newRow("no number") << "{name}" << QString()
                                   << "the name template cannot be used: it has no {number}, so "
                                      "every picture would get the same name";
    }
    void aRefusedTemplateSaysWhyAndNothingIsReleased() {
        QFETCH(QString, nameTemplate);
        QFETCH(QString, job);
        QFETCH(QString, why);
        DocFixture fx;
        fx.doc->UpdateDeviceList();
        QVERIFY(fx.doc->ConnectCamera("Cd One"));
        CViewInfo info(fx.doc.get());
        typeInto(box(info, "jobText"), job);
        typeInto(box(info, "nameTemplate"), nameTemplate);
        QTRY_COMPARE_WITH_TIMEOUT(info.previewText(), CViewInfo::kRefusedPrefix + why,
                                  kThreadWaitMs);
        QCOMPARE(box(info, "nextName")->toolTip(), info.previewText());
        sim::Simulator::cd().clearJournal();
        fx.console.clear();
        QVERIFY(!fx.doc->TakePicture());
        QCOMPARE(QString::fromStdString(fx.console.text()), "Capture refused: " + why + "\r\n");
        for (const sim::Call& call : sim::Simulator::cd().journal())
            QVERIFY2(call.name != "CDRelease", call.name.c_str());
        QCOMPARE(filesIn(fx.dir.path()), QStringList{});
        // Mended, the next capture goes ahead under the name shown.
        typeInto(box(info, "nameTemplate"), QStringLiteral("{name}_{number}"));
        QTRY_COMPARE_WITH_TIMEOUT(info.previewText(), QStringLiteral("Next: Photo_0000.jpg"),
                                  kThreadWaitMs);
        QVERIFY(fx.doc->TakePicture());
        QCOMPARE(filesIn(fx.dir.path()), QStringList{"Photo_0000.jpg"});
    }

    // The Review strip lists the pictures a template made, newest first, beside the capture
    // name's older ones, and nothing else of the folder.
    void theStripListsThePicturesOfTheTemplate() {
        DocFixture fx;
        qputenv("XDG_DATA_HOME", fx.dir.filePath(QStringLiteral("data")).toUtf8());
        WriteFile(fx.dir.filePath("Photo-0000.jpg").toStdString(), "older");
        WriteFile(fx.dir.filePath("notes.txt").toStdString(), "not a picture");
        fx.doc->UpdateDeviceList();
        QVERIFY(fx.doc->ConnectCamera("Cd One"));
        CViewInfo info(fx.doc.get());
        typeInto(box(info, "nameTemplate"), QStringLiteral("{job}_{date:yyyyMMdd}_{number:3}"));
        typeInto(box(info, "jobText"), QStringLiteral("Smith"));
        QVERIFY(fx.doc->TakePicture());
        QVERIFY(fx.doc->TakePicture());
        const QString day = QString::fromStdString(today("yyyyMMdd"));
        CReviewPanel review(fx.doc.get());
        review.resize(640, 300);
        review.show();
        QListWidget* strip = review.strip();
        QTRY_COMPARE_WITH_TIMEOUT(strip->count(), 3, kThreadWaitMs);
        QCOMPARE(StripNames(strip), (QStringList{"Smith_" + day + "_001.jpg",
                                                 "Smith_" + day + "_000.jpg", "Photo-0000.jpg"}));
    }

    // Another template or job in the Info pane makes the strip list afresh: with pictures of
    // two templates (and two jobs) in one folder, its items follow each change.
    void theStripFollowsATemplateOrJobChange() {
        DocFixture fx;
        qputenv("XDG_DATA_HOME", fx.dir.filePath(QStringLiteral("data")).toUtf8());
        for (const char* name : {"Smith_000.jpg", "Smith_001.jpg", "Smith-03.jpg", "Jones-07.jpg",
                                 "Jones-08.jpg", "Photo-0002.jpg"})
            WriteFile(fx.dir.filePath(name).toStdString(), "taken");
        CViewInfo info(fx.doc.get());
        typeInto(box(info, "jobText"), QStringLiteral("Smith"));
        typeInto(box(info, "nameTemplate"), QStringLiteral("{job}_{number:3}"));
        CReviewPanel review(fx.doc.get());
        review.resize(640, 300);
        review.show();
        QListWidget* strip = review.strip();
        const auto listed = [strip] {
            QStringList names = StripNames(strip);
            names.sort();
            return names;
        };
        // The capture name's own pictures stay beside a template's.
        QTRY_COMPARE_WITH_TIMEOUT(listed(),
                                  (QStringList{"Photo-0002.jpg", "Smith_000.jpg", "Smith_001.jpg"}),
                                  kThreadWaitMs);
        typeInto(box(info, "nameTemplate"), QStringLiteral("{job}-{number:2}"));
        QTRY_COMPARE_WITH_TIMEOUT(listed(), (QStringList{"Photo-0002.jpg", "Smith-03.jpg"}),
                                  kThreadWaitMs);
        typeInto(box(info, "jobText"), QStringLiteral("Jones"));
        QTRY_COMPARE_WITH_TIMEOUT(listed(),
                                  (QStringList{"Jones-07.jpg", "Jones-08.jpg", "Photo-0002.jpg"}),
                                  kThreadWaitMs);
        // Back to the default: the capture name's pictures only.
        typeInto(box(info, "nameTemplate"), QString::fromLatin1(NameTemplate::kDefault));
        QTRY_COMPARE_WITH_TIMEOUT(listed(), QStringList{"Photo-0002.jpg"}, kThreadWaitMs);
    }

    // The menu offers every token; one chosen goes in at the cursor, over the selection, and
    // the template is kept in naming.cfg (config.cfg stays its two lines).
    void aTokenGoesInAtTheCursorAndIsKept() {
        DocFixture fx;
        CViewInfo info(fx.doc.get());
        QLineEdit* edit = box(info, "nameTemplate");
        QCOMPARE(edit->text(), QString::fromLatin1(NameTemplate::kDefault));
        QCOMPARE(edit->cursorPosition(), 0);
        const QMenu* menu = Child<QMenu>(info, "nameTokensMenu");
        QVERIFY(!menu->isVisible());
        Child<QPushButton>(info, "nameTokens")->click();
        QVERIFY(menu->isVisible());
        const_cast<QMenu*>(menu)->hide();
        QStringList offered;
        for (const QAction* action : menu->actions()) offered << action->data().toString();
        QStringList tokens;
        for (const auto& token : NameTemplate::Tokens()) tokens << token.text;
        QCOMPARE(offered, tokens);
        QVERIFY(tokens.contains("{job}") && tokens.contains("{camnum}"));

        edit->setCursorPosition(6);   // "{name}|-{number}"
        for (QAction* action : menu->actions())
            if (action->data().toString() == "{job}") action->trigger();
        QCOMPARE(edit->text(), QStringLiteral("{name}{job}-{number}"));
        edit->setSelection(0, 6);   // "{name}" goes, "{date}" takes its place
        for (QAction* action : menu->actions())
            if (action->data().toString() == "{date}") action->trigger();
        QCOMPARE(edit->text(), QStringLiteral("{date}{job}-{number}"));
        QCOMPARE(fx.doc->namingSettings().nameTemplate, std::string("{date}{job}-{number}"));
        const QString naming = fx.dir.filePath(QStringLiteral("naming.cfg"));
        QCOMPARE(QString::fromStdString(ReadFile(naming.toStdString())),
                 QStringLiteral("template={date}{job}-{number}\njob=\nsession_root=\n"));
        typeInto(box(info, "jobText"), QStringLiteral("Smith"));
        emit box(info, "jobText")->editingFinished();
        QVERIFY(QString::fromStdString(ReadFile(naming.toStdString())).contains("\njob=Smith\n"));
        QVERIFY(fx.doc->SaveConfig());
        QCOMPARE(QString::fromStdString(ReadFile(fx.dir.filePath("config.cfg").toStdString())),
                 fx.dir.path() + "/\nPhoto");

        // A new pane over the same document shows what it holds.
        CViewInfo again(fx.doc.get());
        QCOMPARE(box(again, "nameTemplate")->text(), QStringLiteral("{date}{job}-{number}"));
        QCOMPARE(box(again, "jobText")->text(), QStringLiteral("Smith"));
    }
};

QTEST_MAIN(NamingPaneTest)
#include "NamingPaneTest.moc"
