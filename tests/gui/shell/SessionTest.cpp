// Sessions in the real main window over the simulated SDK: the dated folder made and used for
// captures, the title, the recent list across a restart, unsafe names refused, and the command
// after each picture told of each session's start and end.
#include "app/CMainFrame.h"
#include "app/NewSessionDialog.h"
#include "capture/PictureCommandLink.h"
#include "document/CViewDoc.h"
#include "document/NameTemplate.h"
#include "resources/Resources.h"
#include "views/CViewCameraList.h"
#include "views/CViewInfo.h"

#include "support/TestSupport.h"
#include "support/ThreadWait.h"
#include "support/Worlds.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>
#include <memory>

namespace {

QString today() {
    const std::time_t now = std::time(nullptr);
    std::tm when{};
    localtime_r(&now, &when);
    return QString::fromStdString(NameTemplate::FormatTime(when, "yyyy-MM-dd"));
}

QStringList menuTexts(QMenu* menu) {
    QStringList texts;
    for (const QAction* action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

}   // namespace

class SessionTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        kestrelInitResources();
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void init() {
        testsupport::ResetSimulators(testsupport::WorldOf({testsupport::SmallCamera("Cd One")}),
                                     testsupport::WorldOf({}));
        dir = std::make_unique<QTemporaryDir>();
        open();
        root = dir->filePath(QStringLiteral("jobs"));
        frame->setSessionRoot(root);
    }
    void cleanup() {
        frame.reset();
        doc.reset();
        console.reset();
        dir.reset();
    }

    void aSessionIsADatedFolderThatCapturesGoTo() {
        QString error;
        // Told of each start and end (the command's output reaches the console).
        QVERIFY(frame->pictureCommand()->setSettings(
            {"printf '%s|%s|%s\\n' {action} {session} {folder}", true, 5}, error));
        QVERIFY(frame->StartSession(QStringLiteral("Smith wedding"), &error));
        const QString smith = root + "/" + today() + " Smith wedding/";
        QVERIFY(QFileInfo(smith).isDir());
        QCOMPARE(QString::fromStdString(doc->captureFolder()), smith);
        QCOMPARE(frame->sessionFolder(), smith);
        QCOMPARE(frame->windowTitle(), "Kestrel - Session " + today() + " Smith wedding");
        const auto* info = static_cast<CViewInfo*>(frame->pane(3));
        QCOMPARE(info->findChild<QLineEdit*>(QStringLiteral("captureFolder"))->text(), smith);
        QTRY_VERIFY_WITH_TIMEOUT(log().contains("start|" + today() + " Smith wedding|" + smith),
                                 kThreadWaitMs);

        doc->UpdateDeviceList();
        QVERIFY(doc->ConnectCamera("Cd One"));
        QVERIFY(doc->TakePicture());
        QVERIFY(QFileInfo(smith + "Photo-0000.jpg").isFile());
        // The next name follows the picture.
        QTRY_COMPARE_WITH_TIMEOUT(info->previewText(), QStringLiteral("Next: Photo-0001.jpg"),
                                  kThreadWaitMs);

        QVERIFY(frame->StartSession(QStringLiteral("Jones"), &error));
        const QString jones = root + "/" + today() + " Jones/";
        QCOMPARE(QString::fromStdString(doc->captureFolder()), jones);
        QTRY_VERIFY_WITH_TIMEOUT(log().contains("stop|" + today() + " Smith wedding|" + smith) &&
                                     log().contains("start|" + today() + " Jones|" + jones),
                                 kThreadWaitMs);
        QVERIFY(log().indexOf("stop|" + today() + " Smith") <
                log().indexOf("start|" + today() + " Jones"));
        frame->fillOpenSessionMenu();
        QCOMPARE(
            menuTexts(frame->openSessionMenu()),
            (QStringList{today() + " Jones", today() + " Smith wedding", "-", "Other Folder..."}));
        QCOMPARE(frame->openSessionMenu()->actions()[1]->data().toString(), smith);

        // After a restart: the list, the root and the session in use are still there.
        open();
        QCOMPARE(frame->sessionFolder(), jones);
        QCOMPARE(frame->windowTitle(), "Kestrel - Session " + today() + " Jones");
        QCOMPARE(menuTexts(frame->openSessionMenu()).mid(0, 2),
                 (QStringList{today() + " Jones", today() + " Smith wedding"}));
        QCOMPARE(QString::fromStdString(doc->namingSettings().sessionRoot), root);
        // Opened from the list: the first session again, its pictures carry on.
        frame->openSessionMenu()->actions()[1]->trigger();
        QCOMPARE(QString::fromStdString(doc->captureFolder()), smith);
        QCOMPARE(frame->windowTitle(), "Kestrel - Session " + today() + " Smith wedding");
        QCOMPARE(menuTexts(frame->openSessionMenu()).mid(0, 2),
                 (QStringList{today() + " Smith wedding", today() + " Jones"}));
        doc->UpdateDeviceList();
        QVERIFY(doc->ConnectCamera("Cd One"));
        QVERIFY(doc->TakePicture());
        QVERIFY(QFileInfo(smith + "Photo-0001.jpg").isFile());

        // The camera and the session side by side in the title; a disconnect keeps the session.
        auto* list = static_cast<CViewCameraList*>(frame->pane(0));
        list->OnConnect();   // the camera connected above goes
        QCOMPARE(frame->windowTitle(), "Kestrel - Session " + today() + " Smith wedding");
        list->FillCameraList();
        list->cameraList()->setCurrentRow(0);
        list->OnConnect();
        QCOMPARE(frame->windowTitle(), "Kestrel - Cd One - Session " + today() + " Smith wedding");

        // A folder chosen with Browse ends the session.
        static_cast<CViewInfo*>(frame->pane(3))->ApplyChosenFolder(dir->filePath("elsewhere"));
        QTRY_COMPARE_WITH_TIMEOUT(frame->windowTitle(), QStringLiteral("Kestrel - Cd One"),
                                  kThreadWaitMs);
        QCOMPARE(frame->sessionFolder(), QString());
        QTRY_VERIFY_WITH_TIMEOUT(log().contains("stop|" + today() + " Smith wedding|" + smith),
                                 kThreadWaitMs);
    }

    // Starting in a session starts it for the command; closing the window ends it, and the
    // end's line is in the console by the time the close returns.
    void startingAndClosingInASessionTellTheCommand() {
        QString error;
        QVERIFY(frame->pictureCommand()->setSettings(
            {"printf '%s|%s|%s\\n' {action} {session} {folder}", true, 5}, error));
        QVERIFY(frame->StartSession(QStringLiteral("Smith"), &error));
        const QString smith = root + "/" + today() + " Smith/";
        const QString start = "start|" + today() + " Smith|" + smith;
        const QString stop = "stop|" + today() + " Smith|" + smith;
        QTRY_VERIFY_WITH_TIMEOUT(log().contains(start), kThreadWaitMs);
        frame->show();
        QVERIFY(frame->close());
        QVERIFY(!frame->isVisible());
        QCOMPARE(log().count(stop), 1);
        QVERIFY(log().contains("Command for the session's end ended: exit status 0\r\n"));
        frame->close();   // a second close tells nothing more
        QCOMPARE(log().count(stop), 1);

        console->clear();
        open();
        QCOMPARE(frame->sessionFolder(), smith);
        QTRY_VERIFY_WITH_TIMEOUT(log().contains(start), kThreadWaitMs);
        QVERIFY(!log().contains(stop));
        // Outside a session the close tells nothing.
        static_cast<CViewInfo*>(frame->pane(3))->ApplyChosenFolder(dir->filePath("elsewhere"));
        QTRY_VERIFY_WITH_TIMEOUT(log().contains(stop), kThreadWaitMs);
        console->clear();
        frame->show();
        QVERIFY(frame->close());
        QCOMPARE(log(), QString());
    }

    // An end that hangs holds the close for no longer than its time limit and the grace after
    // it; its report still reaches the console.
    void aHangingEndDoesNotHoldTheClose() {
        QString error;
        QVERIFY(frame->pictureCommand()->setSettings(
            {"sh -c '[ \"$0\" = stop ] && exec sleep 30; echo \"$0\"' {action}", true, 1}, error));
        QVERIFY(frame->StartSession(QStringLiteral("Jones"), &error));
        QTRY_VERIFY_WITH_TIMEOUT(log().contains("Command output for the session's start:\r\n"
                                                "start\r\n"),
                                 kThreadWaitMs);
        frame->show();
        QElapsedTimer closing;
        closing.start();
        QVERIFY(frame->close());
        QVERIFY(closing.elapsed() < 1000 + 1000 + 500);
        QVERIFY(!frame->isVisible());
        QVERIFY(log().contains("Command for the session's end stopped after its time limit (1 s)"));
    }

    void anUnsafeNameIsRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("why");
        QTest::newRow("slash")
            << "a/b"
            << "the session's name \"a/b\" must not contain '/' or be \".\" or \"..\"";
        QTest::newRow("dot dot")
            << ".."
            << "the session's name \"..\" must not contain '/' or be \".\" or \"..\"";
        QTest::newRow("empty") << ""
                               << "the session has no name";
        QTest::newRow("line break") << "a\nb"
                                    << "the session's name or folder holds a control character";
    }
    void anUnsafeNameIsRefused() {
        QFETCH(QString, name);
        QFETCH(QString, why);
        const std::string before = doc->captureFolder();
        console->clear();
        QString error;
        QVERIFY(!frame->StartSession(name, &error));
        QCOMPARE(error, why);
        QCOMPARE(QString::fromStdString(console->text()), "Session not started: " + why + "\r\n");
        QCOMPARE(doc->captureFolder(), before);
        QCOMPARE(frame->sessionFolder(), QString());
        QCOMPARE(frame->windowTitle(), QStringLiteral("Kestrel"));
        QVERIFY(!QFileInfo::exists(root));   // nothing was made
        QVERIFY(doc->namingSettings().recentSessions.empty());
        QVERIFY(!frame->OpenSession(dir->filePath("missing"), &error));
        QCOMPARE(error, dir->filePath("missing") + "/ is not a folder");
    }

    // The dialog shows the folder the session will get, and takes no name before a root.
    void theDialogShowsTheFolderToBeMade() {
        std::tm when{};
        when.tm_year = 126;
        when.tm_mon = 11;
        when.tm_mday = 9;
        NewSessionDialog dialog(QString(), when);
        auto* ok = dialog.findChildren<QPushButton*>().first();
        for (QPushButton* button : dialog.findChildren<QPushButton*>())
            if (button->text().contains("OK")) ok = button;
        QCOMPARE(dialog.folderText(), QStringLiteral("Choose the folder sessions are kept in."));
        QVERIFY(!ok->isEnabled());
        dialog.setRoot(QStringLiteral("/photos"));
        QCOMPARE(dialog.folderText(), QStringLiteral("Type the session's name."));
        QTest::keyClicks(dialog.findChild<QLineEdit*>(QStringLiteral("sessionName")),
                         QStringLiteral(" Smith "));
        QCOMPARE(dialog.name(), QStringLiteral("Smith"));
        QCOMPARE(dialog.folderText(), QStringLiteral("Will be /photos/2026-12-09 Smith/"));
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("sessionFolder"))->text(),
                 dialog.folderText());
        QVERIFY(ok->isEnabled());
    }

private:
    // A new document and window over the same folder, as after a restart.
    void open() {
        frame.reset();
        doc.reset();
        console = std::make_unique<testsupport::ConsolePane>();
        doc = std::make_unique<CViewDoc>(sim::Simulator::cd().api(), sim::Simulator::rc().api(),
                                         dir->filePath(QStringLiteral("config.cfg")).toStdString());
        doc->LoadConfig();
        // Registered before the window's own console, so it is the one written to.
        doc->RegisterView(console.get(), "Debug");
        frame = std::make_unique<CMainFrame>(doc.get());
    }
    QString log() const { return QString::fromStdString(console->text()); }

    std::unique_ptr<QTemporaryDir> dir;
    QString root;
    std::unique_ptr<testsupport::ConsolePane> console;
    std::unique_ptr<CViewDoc> doc;
    std::unique_ptr<CMainFrame> frame;
};

QTEST_MAIN(SessionTest)
#include "SessionTest.moc"
