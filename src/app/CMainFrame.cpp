#include "app/CMainFrame.h"

#include "app/CClientViewDlg.h"

#include "app/BuildInfo.h"
#include "app/CAboutDlg.h"
#include "kit/CPaneSplitter.h"
#include "capture/BracketDialog.h"
#include "capture/MergeDialog.h"
#include "capture/CReviewPanel.h"
#include "capture/CViewMain.h"
#include "capture/CViewViewscreen.h"
#include "capture/CommandDialog.h"
#include "capture/FocusStackDlg.h"
#include "capture/LiveMagnifier.h"
#include "capture/LiveOverlay.h"
#include "capture/OverlayDialog.h"
#include "capture/PictureCommandLink.h"
#include "capture/ViewOptions.h"
#include "document/CViewDoc.h"
#include "document/FrameBuffers.h"
#include "document/Sessions.h"
#include "picture/SeriesKeyword.h"
#include "picture/Sidecar.h"
#include "resources/Resources.h"
#include "views/CViewCameraList.h"
#include "views/CViewDebug.h"
#include "views/CViewInfo.h"
#include "views/CViewSetting.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDesktopServices>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QTabWidget>
#include <QTimer>

#include <vector>

using Arrangement = CPaneSplitter::Arrangement;

CMainFrame::CMainFrame(CViewDoc* document, QWidget* parent)
    : QMainWindow(parent), document_(document) {
    kestrelInitResources();
    setWindowTitle(QStringLiteral("Kestrel"));
    setWindowIcon(kestrelAppIcon());
    // The application's icon too: the camera list shows it on each row it fills.
    QApplication::setWindowIcon(kestrelAppIcon());
    buildMenu();
    buildPanes();
    viewOptionsPath_ = ViewOptions::PathBeside(
        QString::fromStdString(document_ ? document_->configPath() : std::string("config.cfg")));
    QString error;
    const ViewOptions options = ViewOptions::Load(viewOptionsPath_, &error);
    if (!error.isEmpty() && document_)
        document_->Log("View settings not read: " + error.toStdString() + "\r\n");
    highlightClippedAction_->setChecked(options.highlightClipped);
    thirdsGridAction_->setChecked(options.thirdsGrid);
    focusPeakingAction_->setChecked(options.focusPeaking);
    showNewPicturesAction_->setChecked(options.showNewPictures);
    advanceAfterRatingAction_->setChecked(options.advanceAfterRating);
    viewOptions_ = new ViewOptions(options);
    overlay_ = new LiveOverlay(this);
    overlay_->onLog = [this](const QString& line) {
        if (document_) document_->Log(line.toStdString());
    };
    overlay_->setOptions(options);
    static_cast<CViewViewscreen*>(panes_[2])->setOverlay(overlay_);
    pictureCommand_ = new PictureCommandLink(document_, this);
    connect(pictureCommand_, &PictureCommandLink::pictureSaved, overlay_,
            &LiveOverlay::PictureSaved);
    // The next name moves on with each picture.
    connect(pictureCommand_, &PictureCommandLink::pictureSaved, static_cast<CViewInfo*>(panes_[3]),
            &CViewInfo::RefreshPreview);
    // A capture folder that is a recent session's (as after a restart) is that session.
    if (document_) {
        const std::string folder = document_->captureFolder();
        for (const std::string& recent : document_->namingSettings().recentSessions)
            if (!folder.empty() && recent == folder)
                sessionFolder_ = QString::fromStdString(folder);
    }
    // Starting in a session starts it for the command too.
    if (!sessionFolder_.isEmpty())
        pictureCommand_->SessionStarted(
            sessionFolder_,
            QString::fromStdString(sessions::TitleOf(sessionFolder_.toStdString())));
    fillOpenSessionMenu();
    updateTitle();
    applyViewOptions(false);

    auto* next = new QShortcut(QKeySequence(Qt::Key_F6), this);
    connect(next, &QShortcut::activated, this, [this] { ActivateNextPane(false); });
    auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6), this);
    connect(previous, &QShortcut::activated, this, [this] { ActivateNextPane(true); });

    resize(800, 600);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        QRect frame = geometry();
        frame.moveCenter(area.center());
        move(frame.topLeft());
    }
}

// The splitters destroy the panes with themselves.
CMainFrame::~CMainFrame() { delete viewOptions_; }

CClientViewDlg* CMainFrame::clientView() {
    if (!clientView_) clientView_ = new CClientViewDlg(document_, this);
    return clientView_;
}

FocusStackDlg* CMainFrame::focusStack() {
    if (!focusStack_) {
        focusStack_ = new FocusStackDlg(document_, this);
        // Each picture of a stack gets its series keyword in its sidecar (on the run's worker);
        // the window then hears of the file, so "Merge Last Series..." offers the stack.
        focusStack_->setKeywordWriter([this](const std::string& path, const std::string& keyword) {
            std::string error = picture::WriteSeriesKeyword(path, keyword);
            const auto series = picture::ParseSeriesKeyword(keyword);
            if (series)
                QMetaObject::invokeMethod(
                    this,
                    [this, number = series->series, path] {
                        if (stackSeries_ != number) stackFiles_.clear();
                        stackSeries_ = number;
                        stackFiles_.push_back(path);
                        MergeDialog::NoteSeries(merge::Kind::FocusStack, number, stackFiles_);
                    },
                    Qt::QueuedConnection);
            return error;
        });
    }
    return focusStack_;
}

void CMainFrame::buildMenu() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* newSessionAction = file->addAction(QStringLiteral("New Session..."));
    newSessionAction->setObjectName(QStringLiteral("newSessionAction"));
    connect(newSessionAction, &QAction::triggered, this, &CMainFrame::newSession);
    openSessionMenu_ = file->addMenu(QStringLiteral("Open Session"));
    openSessionMenu_->setObjectName(QStringLiteral("openSessionMenu"));
    connect(openSessionMenu_, &QMenu::aboutToShow, this, &CMainFrame::fillOpenSessionMenu);
    file->addSeparator();
    QAction* command = file->addAction(QStringLiteral("Command After Each Picture..."));
    command->setObjectName(QStringLiteral("pictureCommandAction"));
    connect(command, &QAction::triggered, this, &CMainFrame::editPictureCommand);
    QAction* clientViewAction = file->addAction(QStringLiteral("Client View..."));
    clientViewAction->setObjectName(QStringLiteral("clientViewAction"));
    connect(clientViewAction, &QAction::triggered, this, [this] { clientView()->show(); });
    file->addSeparator();
    exitAction_ = file->addAction(QStringLiteral("E&xit"));
    exitAction_->setObjectName(QStringLiteral("exitAction"));
    exitAction_->setMenuRole(QAction::QuitRole);
    connect(exitAction_, &QAction::triggered, this, &QWidget::close);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    highlightClippedAction_ = view->addAction(QStringLiteral("Highlight Clipped Pixels"));
    highlightClippedAction_->setObjectName(QStringLiteral("highlightClippedAction"));
    thirdsGridAction_ = view->addAction(QStringLiteral("Rule-of-Thirds Grid"));
    thirdsGridAction_->setObjectName(QStringLiteral("thirdsGridAction"));
    focusPeakingAction_ = view->addAction(QStringLiteral("Focus Peaking"));
    focusPeakingAction_->setObjectName(QStringLiteral("focusPeakingAction"));
    showNewPicturesAction_ = view->addAction(QStringLiteral("Show Each New Picture"));
    showNewPicturesAction_->setObjectName(QStringLiteral("showNewPicturesAction"));
    advanceAfterRatingAction_ = view->addAction(QStringLiteral("Advance After Rating"));
    advanceAfterRatingAction_->setObjectName(QStringLiteral("advanceAfterRatingAction"));
    for (QAction* aid : {highlightClippedAction_, thirdsGridAction_, focusPeakingAction_,
                         showNewPicturesAction_, advanceAfterRatingAction_}) {
        aid->setCheckable(true);
        connect(aid, &QAction::toggled, this, [this] { applyViewOptions(true); });
    }
    QMenu* magnify = view->addMenu(QStringLiteral("Magnify"));
    auto* factors = new QActionGroup(this);
    constexpr std::array<std::uint32_t, 3> kFactors{1, 5, 10};
    for (std::size_t i = 0; i < kFactors.size(); ++i) {
        const std::uint32_t factor = kFactors[i];
        QAction* action = magnify->addAction(QStringLiteral("%1x").arg(factor));
        action->setCheckable(true);
        action->setEnabled(false);
        factors->addAction(action);
        connect(action, &QAction::triggered, this, [this, factor] {
            if (magnifier_) magnifier_->Magnify(factor);
        });
        magnifyActions_[i] = action;
    }
    magnifyActions_[0]->setChecked(true);
    QAction* overlay = view->addAction(QStringLiteral("Overlay..."));
    overlay->setObjectName(QStringLiteral("overlayAction"));
    connect(overlay, &QAction::triggered, this, &CMainFrame::editOverlay);

    QMenu* capture = menuBar()->addMenu(QStringLiteral("&Capture"));
    QAction* focusStackAction = capture->addAction(QStringLiteral("Focus Stack..."));
    focusStackAction->setObjectName(QStringLiteral("focusStackAction"));
    connect(focusStackAction, &QAction::triggered, this, [this] {
        focusStack()->show();
        focusStack()->raise();
    });
    connect(capture->addAction(QStringLiteral("Exposure Bracket...")), &QAction::triggered, this,
            [this] { BracketDialog::Show(document_, this); });
    MergeDialog::AddMenuEntry(capture, document_, this);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    manualAction_ = help->addAction(QStringLiteral("Manual"));
    manualAction_->setObjectName(QStringLiteral("manualAction"));
    connect(manualAction_, &QAction::triggered, this, &CMainFrame::openManual);
    help->addSeparator();
    aboutAction_ = help->addAction(QStringLiteral("&About Kestrel..."));
    aboutAction_->setObjectName(QStringLiteral("aboutAction"));
    aboutAction_->setMenuRole(QAction::AboutRole);
    connect(aboutAction_, &QAction::triggered, this, &CMainFrame::showAbout);
}

void CMainFrame::buildPanes() {
    rootSplitter_ = new CPaneSplitter(Arrangement::SideBySide);
    rootSplitter_->setObjectName(QStringLiteral("rootSplitter"));
    setCentralWidget(rootSplitter_);

    // The panes register themselves with the document as they are made, in this order.
    listSplitter_ = rootSplitter_->AddSubSplitter(0, Arrangement::Stacked);
    listSplitter_->setObjectName(QStringLiteral("listSplitter"));
    panes_[0] = new CViewCameraList(document_);
    listSplitter_->SetPane(0, panes_[0]);
    panes_[1] = new CViewSetting(document_);
    listSplitter_->SetPane(1, panes_[1]);
    listSplitter_->SetRowInfo(0, sized_[3], 10);

    rowSplitter_ = rootSplitter_->AddSubSplitter(1, Arrangement::Stacked);
    rowSplitter_->setObjectName(QStringLiteral("rowSplitter"));

    columnSplitter_ = rowSplitter_->AddSubSplitter(0, Arrangement::SideBySide);
    columnSplitter_->setObjectName(QStringLiteral("columnSplitter"));
    panes_[2] = new CViewViewscreen(document_);
    columnSplitter_->SetPane(0, panes_[2]);
    panes_[3] = new CViewInfo(document_);
    columnSplitter_->SetPane(1, panes_[3]);

    rootSplitter_->SetColumnInfo(0, sized_[0], 10);
    columnSplitter_->SetColumnInfo(0, sized_[1], 10);
    columnSplitter_->SetColumnInfo(1, 0, 125);
    rowSplitter_->SetRowInfo(0, sized_[2], 10);

    consoleSplitter_ = rowSplitter_->AddSubSplitter(1, Arrangement::Stacked);
    consoleSplitter_->setObjectName(QStringLiteral("consoleSplitter"));
    auto* viewMain = new CViewMain(document_);
    panes_[4] = viewMain;
    consoleSplitter_->SetPane(0, viewMain);
    panes_[5] = new CViewDebug(document_);
    consoleSplitter_->SetPane(1, panes_[5]);
    consoleSplitter_->SetRowInfo(0, kMainHeight, 10);
    connect(viewMain->tabs(), &QTabWidget::currentChanged, this, &CMainFrame::sizeMainPane);

    connect(viewMain, &CViewMain::viewscreenSpaceWanted, this, [this](QSize space) {
        viewscreenSpace_ = space;
        applyViewscreenSpace(false);
    });

    connect(static_cast<CViewCameraList*>(panes_[0]), &CViewCameraList::connectionChanged, this,
            &CMainFrame::onConnectionChanged);
    auto* sessionTimer = new QTimer(this);
    sessionTimer->setObjectName(QStringLiteral("cameraSessionTimer"));
    connect(sessionTimer, &QTimer::timeout, this, &CMainFrame::tickCameraSession);
    sessionTimer->start(250);

    magnifier_ = new LiveMagnifier(document_, this);
    magnifier_->onChanged = [this](std::uint32_t factor) {
        magnifyActions_[factor == 10 ? 2 : factor == 5 ? 1 : 0]->setChecked(true);
    };
    static_cast<CViewViewscreen*>(panes_[2])->setMagnifier(magnifier_);
}

namespace {

// Track 0 of a splitter that the frame sizes: set to ideal unless, with keepDragged, the user
// has dragged it since the frame last set it (then the user's size stays). last remembers it.
void SizeTrack(CPaneSplitter* splitter, bool row, int ideal, int& last, bool keepDragged) {
    const int current = row ? splitter->RowInfo(0).ideal : splitter->ColumnInfo(0).ideal;
    if (keepDragged && current != last) return;
    last = ideal;
    if (row) splitter->SetRowInfo(0, ideal, 10);
    else splitter->SetColumnInfo(0, ideal, 10);
    splitter->RecalcLayout();
}

}   // namespace

void CMainFrame::applyViewscreenSpace(bool keepDragged) {
    const int step = CViewViewscreen::StepForWindow(size());
    if (auto* screen = static_cast<CViewViewscreen*>(panes_[2])) screen->setStep(step);
    const QSize space = CViewViewscreen::ScaledSpace(viewscreenSpace_, step);
    // In a small window the camera list column and the viewscreen row give way before the
    // capture panels lose "Capture Photo" (the console, last in its column, goes first). Until
    // the window is shown its panes have no size yet, and nothing gives way.
    const bool laidOut = rootSplitter_->isVisible();
    const QSize essential = static_cast<CViewMain*>(panes_[4])->essentialSize();
    const int inside = 2 * CPaneSplitter::kBorder + CPaneSplitter::kGap;
    int listWidth = 200;
    if (laidOut)
        listWidth = std::min(listWidth, rootSplitter_->width() - inside - essential.width());
    SizeTrack(rootSplitter_, false, std::max(listWidth, 10), sized_[0], keepDragged);
    int rowHeight = space.height();
    if (laidOut)
        rowHeight = std::min(rowHeight, rowSplitter_->height() - inside - essential.height());
    SizeTrack(columnSplitter_, false, space.width(), sized_[1], keepDragged);
    SizeTrack(rowSplitter_, true, std::max(rowHeight, 10), sized_[2], keepDragged);
    SizeTrack(listSplitter_, true, 100 * step / CViewViewscreen::kBaseStep, sized_[3], keepDragged);
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    applyViewscreenSpace(true);
    sizeMainPane();
}

void CMainFrame::sizeMainPane() {
    int ideal = kMainHeight;
    const auto* host = static_cast<CViewMain*>(panes_[4]);
    if (host->tabs()->currentIndex() == CViewMain::ReviewTab && consoleSplitter_->isVisible())
        ideal = std::max(ideal, consoleSplitter_->height() - kConsoleKept);
    if (consoleSplitter_->RowInfo(0).ideal == ideal) return;
    consoleSplitter_->SetRowInfo(0, ideal, 10);
    consoleSplitter_->RecalcLayout();
}

void CMainFrame::editOverlay() {
    OverlayDialog dialog(*viewOptions_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    *viewOptions_ = dialog.result();
    overlay_->setOptions(*viewOptions_);
    applyViewOptions(true);
}

void CMainFrame::editPictureCommand() {
    CommandDialog dialog(pictureCommand_->settings(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    QString error;
    if (!pictureCommand_->setSettings(dialog.result(), error) && document_)
        document_->Log("Command not set: " + error.toStdString() + "\r\n");
}

void CMainFrame::applyViewOptions(bool save) {
    ViewOptions options = viewOptions_ ? *viewOptions_ : ViewOptions();
    options.highlightClipped = highlightClippedAction_->isChecked();
    options.thirdsGrid = thirdsGridAction_->isChecked();
    options.focusPeaking = focusPeakingAction_->isChecked();
    options.showNewPictures = showNewPicturesAction_->isChecked();
    options.advanceAfterRating = advanceAfterRatingAction_->isChecked();
    if (auto* main = static_cast<CViewMain*>(panes_[4])) {
        main->reviewPanel()->setShowNewPictures(options.showNewPictures);
        main->reviewPanel()->setAdvanceAfterRating(options.advanceAfterRating);
    }
    if (auto* screen = static_cast<CViewViewscreen*>(panes_[2])) {
        screen->setHighlightClipped(options.highlightClipped);
        screen->setThirdsGrid(options.thirdsGrid);
        screen->setFocusPeaking(options.focusPeaking);
    }
    QString error;
    if (save && !options.Save(viewOptionsPath_, error) && document_)
        document_->Log("View settings not saved: " + error.toStdString() + "\r\n");
}

void CMainFrame::tickCameraSession() {
    if (!document_) return;
    followCaptureFolder();
    CameraSession& session = document_->cameraSession();
    const CameraSession::Change change = session.Tick(CameraSession::Clock::now());
    if (change == CameraSession::Change::None) return;
    static_cast<CViewSetting*>(panes_[1])->RefreshSettings();
    static_cast<CViewInfo*>(panes_[3])->UpdateInfo();
    if (change == CameraSession::Change::Back) {
        onConnectionChanged(QString::fromStdString(document_->connectedName()));
        return;
    }
    onConnectionChanged(QString());   // the live picture goes black
    cameraTitle_ = QString::fromStdString(session.waitingFor()) + QStringLiteral(" (waiting)");
    updateTitle();
}

void CMainFrame::onConnectionChanged(const QString& cameraName) {
    // A camera is never left magnified by the last one's choice: 1x, offered or not.
    magnifier_->Forget();
    magnifyActions_[0]->setChecked(true);
    camera::CanonDriver* driver =
        cameraName.isEmpty() || !document_ ? nullptr : document_->openDriver();
    const bool offered = driver != nullptr && driver->properties().hasMagnify;
    for (QAction* action : magnifyActions_) action->setEnabled(offered);
    cameraTitle_ = cameraName;
    updateTitle();
    static_cast<CViewInfo*>(panes_[3])->RefreshPreview();   // {camera}, and its image quality
    if (!cameraName.isEmpty()) {
        // Off the Disconnect button (or the list, now disabled): Space captures, and no key
        // pressed right after the connect can disconnect.
        static_cast<CViewMain*>(panes_[4])->FocusCapture();
        return;
    }
    // The live picture goes black, as at start, instead of keeping the last frame of a camera
    // that is gone (one still on its way to the screen included).
    static_cast<CViewViewscreen*>(panes_[2])->ClearLivePicture();
    // The histogram too, as at start: that of the black picture, not the camera's last frame.
    if (document_) {
        const std::vector<std::uint8_t> black(FrameBuffers::kPixelBytes, 0);
        std::uint64_t now = 0;
        document_->UpdateHistogram(black.data(), FrameBuffers::kWidth, FrameBuffers::kHeight, 1,
                                   now);
    }
    static_cast<CViewInfo*>(panes_[3])->InvalidateHistogram();
}

QWidget* CMainFrame::pane(int index) const {
    return index >= 0 && index < kPaneCount ? panes_[index] : nullptr;
}

QStringList CMainFrame::InstalledManualDirs() {
    return {QCoreApplication::applicationDirPath() + QStringLiteral("/../share/doc/kestrel/manual"),
            QStringLiteral(KESTREL_MANUAL_DIR), QStringLiteral(KESTREL_SOURCE_MANUAL_DIR)};
}

QUrl CMainFrame::ManualUrl(const QStringList& htmlManualDirs) {
    const QString chm = QDir::current().absoluteFilePath(QStringLiteral("Kestrel.chm"));
    if (QFileInfo(chm).isFile()) return QUrl::fromLocalFile(chm);
    for (const QString& dir : htmlManualDirs) {
        const QFileInfo index(QDir(dir), QStringLiteral("index.html"));
        if (index.isFile()) return QUrl::fromLocalFile(index.canonicalFilePath());
    }
    return {};
}

void CMainFrame::openManual() {
    const QUrl url = ManualUrl();
    if (url.isEmpty()) {
        // Nothing to open: say where it was looked for.
        QStringList places{QDir::current().absoluteFilePath(QStringLiteral("Kestrel.chm"))};
        for (const QString& dir : InstalledManualDirs())
            places << QDir::cleanPath(dir + QStringLiteral("/index.html"));
        if (document_)
            document_->Log("Manual not found: looked for " +
                           places.join(QStringLiteral(", ")).toStdString() + "\r\n");
        return;
    }
    if (urlOpener_) urlOpener_(url);
    else QDesktopServices::openUrl(url);
}

void CMainFrame::showAbout() {
    CAboutDlg about(this);
    about.exec();
}

int CMainFrame::activePaneIndex() const {
    QWidget* focus = QApplication::focusWidget();
    if (!focus) return -1;
    for (int i = 0; i < kPaneCount; ++i)
        if (panes_[i] && (panes_[i] == focus || panes_[i]->isAncestorOf(focus))) return i;
    return -1;
}

namespace {

// The first control of the pane that takes the focus by keyboard, or the pane itself; in the
// capture panel host, the shown panel's capture button rather than the tab bar.
QWidget* focusTarget(QWidget* pane) {
    if (auto* host = qobject_cast<CViewMain*>(pane)) return host->firstControl();
    for (QWidget* child : pane->findChildren<QWidget*>()) {
        if ((child->focusPolicy() & Qt::TabFocus) && child->isVisibleTo(pane) && child->isEnabled())
            return child;
    }
    return pane;
}

}   // namespace

void CMainFrame::ActivateNextPane(bool previous) {
    const int current = activePaneIndex();
    const int step = previous ? kPaneCount - 1 : 1;
    int index = current < 0 ? (previous ? kPaneCount - 1 : 0) : (current + step) % kPaneCount;
    for (int tries = 0; tries < kPaneCount; ++tries, index = (index + step) % kPaneCount) {
        QWidget* target = panes_[index];
        if (!target || !target->isVisible()) continue;
        QWidget* focus = focusTarget(target);
        if (focus == target && target->focusPolicy() == Qt::NoFocus)
            target->setFocusPolicy(
                Qt::ClickFocus);   // a pane without controls still shows it has the focus
        focus->setFocus(Qt::ShortcutFocusReason);
        return;
    }
}
