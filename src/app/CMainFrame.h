// The main window: 800 x 600, centred, menus "File"/"View"/"Capture"/"Help", and a client area split by
// five nested splitters into the six panes (camera list, settings, viewscreen, info, capture
// panels, console). Larger than 800 x 600, the live picture grows in its 4:3 shape and the
// camera list and console take the extra height. F6 and Shift+F6 move the keyboard focus from pane to pane.
// A session (File > "New Session...", "Open Session") is a folder made the capture folder; the
// title names it.
#pragma once

#include <QMainWindow>
#include <QSize>
#include <QUrl>

#include <QStringList>

#include <array>
#include <string>
#include <vector>
#include <functional>

class CClientViewDlg;
class FocusStackDlg;
class CPaneSplitter;
class CViewDoc;
class LiveMagnifier;
class LiveOverlay;
class PictureCommandLink;
struct ViewOptions;
class QAction;
class QMenu;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CViewDoc* document, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The six panes in creation order: camera list, settings, viewscreen, info, main, console.
    static constexpr int kPaneCount = 6;
    // The Main pane's height; on the Review tab it takes what the console has beyond this.
    static constexpr int kMainHeight = 200, kConsoleKept = 120;
    QWidget* pane(int index) const;

    // What "Manual" opens: Kestrel.chm in the current working directory when it is there, else
    // the first HTML manual (index.html) found in `htmlManualDirs`; an empty URL when neither is.
    static QUrl ManualUrl(const QStringList& htmlManualDirs = InstalledManualDirs());
    // Where the HTML manual is installed: beside the program's prefix, then the configured one.
    static QStringList InstalledManualDirs();

    // The desktop-services boundary that opens the manual; tests put a stand-in here.
    using UrlOpener = std::function<bool(const QUrl&)>;
    void setUrlOpener(UrlOpener opener) { urlOpener_ = std::move(opener); }

    // Moves the keyboard focus to the next (or previous) visible pane, wrapping round.
    void ActivateNextPane(bool previous = false);
    int activePaneIndex() const;   // the pane holding the focus, or -1

    // The layout overlay and the command after each picture. A session's start and end are told
    // to pictureCommand()->SessionStarted / SessionEnded.
    LiveOverlay* overlay() const { return overlay_; }
    PictureCommandLink* pictureCommand() const { return pictureCommand_; }
    // The client view (File > "Client View..."), made when first asked for.
    CClientViewDlg* clientView();
    // Capture > "Focus Stack...", made when first asked for.
    FocusStackDlg* focusStack();

    // Sessions. StartSession makes "<root>/<date> <name>/" in the remembered root (with its
    // parents; an existing one is used as it is) and opens it; OpenSession makes an existing
    // folder the session. Either becomes the capture folder, goes first in the recent list
    // (naming.cfg), names the session in the title, and tells the command after each picture
    // that the old session ended and the new one started. False with one console line
    // ("Session not started: ...", "Session not opened: ...") and the reason in error.
    bool StartSession(const QString& name, QString* error = nullptr);
    bool OpenSession(const QString& folder, QString* error = nullptr);
    // The folder sessions are made in, kept in naming.cfg.
    void setSessionRoot(const QString& root);
    // The session's folder (with its '/'); empty when the capture folder is not a session's.
    QString sessionFolder() const { return sessionFolder_; }
    // File > "Open Session": the recent sessions, newest first, filled when it opens.
    QMenu* openSessionMenu() const { return openSessionMenu_; }
    void fillOpenSessionMenu();

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Closing in a session ends it: the command's "stop" run, given at most its time limit
    // (and the grace second) with the window already hidden, so its report is made.
    void closeEvent(QCloseEvent* event) override;

private:
    // Room for the viewscreen: the size the capture host asked for at the base scale, grown
    // with the window; the camera list grows with it. keepDragged: tracks the user has
    // dragged since keep their size.
    void applyViewscreenSpace(bool keepDragged);
    // The Main pane's height: 200 pixels, and on the Review tab all the console can spare
    // beyond its own kConsoleKept, so a large window's strip shows more than one row.
    void sizeMainPane();
    void applyViewOptions(bool save);
    void buildPanes();
    void buildMenu();
    // The title names the connected camera; after a disconnect the live picture is cleared.
    void onConnectionChanged(const QString& cameraName);
    // Four times a second: ticks the document's camera session and shows a camera gone
    // (title "(waiting)", black picture) or back.
    void tickCameraSession();
    void openManual();
    void showAbout();
    void editOverlay();          // View > "Overlay..."
    void editPictureCommand();   // File > "Command After Each Picture..."
    void newSession();           // File > "New Session..."
    // The session moves to folder (with its '/'): the end and start told, folder and list kept.
    void switchSession(const QString& folder);
    // A capture folder chosen elsewhere (Browse) ends the session.
    void followCaptureFolder();
    // The window closes: the session's end told, the command's last runs waited for (bounded).
    void endSessionAtClose();
    // "Kestrel", then " - " and the camera (cameraTitle_) and the session, when there are.
    void updateTitle();

    CViewDoc* document_;
    CPaneSplitter* rootSplitter_ = nullptr;
    CPaneSplitter* listSplitter_ = nullptr;
    CPaneSplitter* rowSplitter_ = nullptr;
    CPaneSplitter* columnSplitter_ = nullptr;
    CPaneSplitter* consoleSplitter_ = nullptr;
    std::array<QWidget*, kPaneCount> panes_{};
    QAction* exitAction_ = nullptr;
    QAction* manualAction_ = nullptr;
    QAction* aboutAction_ = nullptr;
    QAction* highlightClippedAction_ = nullptr;
    QAction* thirdsGridAction_ = nullptr;
    QAction* focusPeakingAction_ = nullptr;
    QAction* showNewPicturesAction_ = nullptr;
    QAction* advanceAfterRatingAction_ = nullptr;
    std::array<QAction*, 3> magnifyActions_{};
    LiveMagnifier* magnifier_ = nullptr;
    LiveOverlay* overlay_ = nullptr;
    PictureCommandLink* pictureCommand_ = nullptr;
    ViewOptions* viewOptions_ = nullptr;   // the overlay's part of view.cfg (owned)
    QString viewOptionsPath_;
    QSize viewscreenSpace_{320, 260};   // as asked for at the base scale
    // What the frame last gave the camera list column, the viewscreen column, the viewscreen
    // row and the camera list row.
    std::array<int, 4> sized_{200, 320, 260, 100};
    UrlOpener urlOpener_;
    CClientViewDlg* clientView_ = nullptr;
    QMenu* openSessionMenu_ = nullptr;
    QString sessionFolder_;
    bool closed_ = false;   // the close has told the command (once)
    QString cameraTitle_;   // "EOS 20D", "EOS 20D (waiting)", or empty
    FocusStackDlg* focusStack_ = nullptr;
    int stackSeries_ = 0;                   // the focus stack whose files stackFiles_ holds
    std::vector<std::string> stackFiles_;   // its pictures so far, for the merge
};
