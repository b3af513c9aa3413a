// The bracket's dialog and menu entries in the window: Start runs the bracket while the window
// goes on (the button says Stop meanwhile), the end is told in the dialog and on the console,
// the merge button and File menu entry say what to install without the tools, and with stand-ins
// for them on PATH the finished bracket is merged beside it.
#include "support/PaneTestSupport.h"
#include "support/ThreadWait.h"

#include "app/CMainFrame.h"
#include "capture/BracketDialog.h"
#include "capture/MergeDialog.h"
#include "resources/Resources.h"

#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <cstdlib>

using namespace testsupport;

namespace {

QStringList CaptureMenu(CMainFrame& frame) {
    QStringList out;
    for (QAction* action : frame.menuBar()->actions())
        if (action->text() == QStringLiteral("&Capture"))
            for (QAction* entry : action->menu()->actions()) out << entry->text();
    return out;
}

}   // namespace

class TestBracketDialog : public QObject {
    Q_OBJECT
private slots:
    void init() {
        ResetSimulators(WorldOf({SmallCamera("PowerShot G5")}), WorldOf({}));
        path_ = qgetenv("PATH");
    }
    void cleanup() {
        qputenv("PATH", path_);
        ResetSimulators();
    }

    void startRunsTheBracketAndTheMergeFollowsTheTools() {
        DocFixture fx;
        kestrelInitResources();
        qputenv("PATH", QByteArray("/usr/bin:/bin"));   // no enfuse there on a test machine
        CMainFrame frame(fx.doc.get());
        QVERIFY(CaptureMenu(frame).contains(QStringLiteral("Exposure Bracket...")));
        QVERIFY(CaptureMenu(frame).contains(
            QStringLiteral("Install enblend-enfuse and hugin-tools to merge")));

        fx.doc->UpdateDeviceList();
        QVERIFY(fx.doc->ConnectCamera("PowerShot G5"));
        BracketDialog* dialog = BracketDialog::Show(fx.doc.get(), &frame);
        QCOMPARE(BracketDialog::Show(fx.doc.get(), &frame), dialog);   // one dialog
        auto* shots = dialog->findChild<QComboBox*>(QStringLiteral("bracketShots"));
        auto* step = dialog->findChild<QComboBox*>(QStringLiteral("bracketStep"));
        auto* start = dialog->findChild<QPushButton*>(QStringLiteral("bracketStart"));
        auto* merge = dialog->findChild<QPushButton*>(QStringLiteral("bracketMerge"));
        auto* status = dialog->findChild<QLabel*>(QStringLiteral("bracketStatus"));
        QCOMPARE(step->currentText(), QStringLiteral("1 EV"));
        QCOMPARE(step->itemText(0), QStringLiteral("1/3 EV"));
        QCOMPARE(step->itemText(step->count() - 1), QStringLiteral("3 EV"));
        shots->setCurrentIndex(0);   // 3
        QCOMPARE(merge->text(), QStringLiteral("Install enblend-enfuse and hugin-tools to merge"));
        QVERIFY(!merge->isEnabled());

        QSignalSpy ended(dialog, &BracketDialog::runEnded);
        QTest::mouseClick(start, Qt::LeftButton);
        QCOMPARE(start->text(), QStringLiteral("Stop"));
        QVERIFY(!shots->isEnabled());
        QVERIFY(ended.wait(kThreadWaitMs));
        QCOMPARE(start->text(), QStringLiteral("Start"));
        QCOMPARE(status->text(), QStringLiteral("Bracket 1: 3 of 3 shots; setting put back"));
        QCOMPARE(dialog->findChild<QProgressBar*>(QStringLiteral("bracketProgress"))->value(), 3);
        QCOMPARE(dialog->lastResult().files.size(), 3u);
        QVERIFY(fx.console.text().find("Bracket 1: done, 3 of 3 shots\r\nBracket 1: Exposure back "
                                       "at 0\r\n") != std::string::npos);

        // Stand-ins for the tools: the button and the menu entry offer the merge.
        const QString tools = fx.dir.filePath(QStringLiteral("tools"));
        QVERIFY(QDir().mkpath(tools));
        WriteFile((tools + "/align_image_stack").toStdString(),
                  "#!/bin/sh\nshift; shift; p=\"$1\"; shift; n=0\n"
                  "for f in \"$@\"; do cp \"$f\" \"${p}000$n.tif\"; n=$((n+1)); done\n",
                  0755);
        WriteFile((tools + "/enfuse").toStdString(), "#!/bin/sh\necho fused > \"$2\"\n", 0755);
        qputenv("PATH", (tools + ":/usr/bin:/bin").toLocal8Bit());
        dialog->hide();
        dialog = BracketDialog::Show(fx.doc.get(), &frame);
        // The button looks at the tools again at a run's end; the menu each time it opens.
        QSignalSpy again(dialog, &BracketDialog::runEnded);
        QTest::mouseClick(start, Qt::LeftButton);
        QVERIFY(again.wait(kThreadWaitMs));
        QCOMPARE(merge->text(), QStringLiteral("Merge..."));
        QVERIFY(merge->isEnabled());
        QTest::mouseClick(merge, Qt::LeftButton);
        auto* merging = dialog->findChild<MergeDialog*>();
        QVERIFY(merging);
        QSignalSpy merged(merging, &MergeDialog::merged);
        QVERIFY(merging->finished() || merged.wait(kThreadWaitMs));
        const QString expected = fx.dir.filePath(QStringLiteral("Bracket 2 merged.tif"));
        QCOMPARE(QString::fromStdString(merging->result().path), expected);
        QVERIFY(QFile::exists(expected));
        QVERIFY(fx.console.text().find("Merged Bracket 2: Bracket 2 merged.tif\r\n") !=
                std::string::npos);
        QMenu* capture = nullptr;
        for (QAction* action : frame.menuBar()->actions())
            if (action->text() == QStringLiteral("&Capture")) capture = action->menu();
        QVERIFY(capture);
        emit capture->aboutToShow();
        QAction* entry = frame.findChild<QAction*>(QStringLiteral("mergeSeriesAction"));
        QVERIFY(entry);
        QCOMPARE(entry->text(), QStringLiteral("Merge Last Series..."));
        QVERIFY(entry->isEnabled());   // the bracket just finished
    }

private:
    QByteArray path_;
};

QTEST_MAIN(TestBracketDialog)
#include "BracketDialogTest.moc"
