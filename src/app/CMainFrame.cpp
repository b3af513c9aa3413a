#include "app/CMainFrame.h"

#include "app/BuildInfo.h"
#include "app/CAboutDlg.h"
#include "app/kit/CPaneSplitter.h"
#include "capture/CViewMain.h"
#include "capture/CViewViewscreen.h"
#include "document/FrameBuffers.h"
#include "resources/Resources.h"
#include "views/CViewCameraList.h"
#include "views/CViewDebug.h"
#include "views/CViewInfo.h"
#include "views/CViewSetting.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>

#include <vector>

using Arrangement = CPaneSplitter::Arrangement;

CMainFrame::CMainFrame(CViewDoc* document, QWidget* parent)
    : QMainWindow(parent), document_(document)
{
    kestrelInitResources();
    setWindowTitle(QStringLiteral("Kestrel"));
    setWindowIcon(kestrelAppIcon());
    // The application's icon too: the camera list shows it on each row it fills.
    QApplication::setWindowIcon(kestrelAppIcon());
    buildMenu();
    buildPanes();

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

CMainFrame::~CMainFrame() = default;   // the splitters destroy the panes with themselves

void CMainFrame::buildMenu()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    exitAction_ = file->addAction(QStringLiteral("E&xit"));
    exitAction_->setMenuRole(QAction::QuitRole);
    connect(exitAction_, &QAction::triggered, this, &QWidget::close);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    manualAction_ = help->addAction(QStringLiteral("Manual"));
    connect(manualAction_, &QAction::triggered, this, &CMainFrame::openManual);
    help->addSeparator();
    aboutAction_ = help->addAction(QStringLiteral("&About Kestrel..."));
    aboutAction_->setMenuRole(QAction::AboutRole);
    connect(aboutAction_, &QAction::triggered, this, &CMainFrame::showAbout);
}

void CMainFrame::buildPanes()
{
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
    listSplitter_->SetRowInfo(0, 100, 10);

    rowSplitter_ = rootSplitter_->AddSubSplitter(1, Arrangement::Stacked);
    rowSplitter_->setObjectName(QStringLiteral("rowSplitter"));

    columnSplitter_ = rowSplitter_->AddSubSplitter(0, Arrangement::SideBySide);
    columnSplitter_->setObjectName(QStringLiteral("columnSplitter"));
    panes_[2] = new CViewViewscreen(document_);
    columnSplitter_->SetPane(0, panes_[2]);
    panes_[3] = new CViewInfo(document_);
    columnSplitter_->SetPane(1, panes_[3]);

    rootSplitter_->SetColumnInfo(0, 200, 10);
    columnSplitter_->SetColumnInfo(0, 320, 10);
    columnSplitter_->SetColumnInfo(1, 0, 125);
    rowSplitter_->SetRowInfo(0, 260, 10);

    consoleSplitter_ = rowSplitter_->AddSubSplitter(1, Arrangement::Stacked);
    consoleSplitter_->setObjectName(QStringLiteral("consoleSplitter"));
    auto* viewMain = new CViewMain(document_);
    panes_[4] = viewMain;
    consoleSplitter_->SetPane(0, viewMain);
    panes_[5] = new CViewDebug(document_);
    consoleSplitter_->SetPane(1, panes_[5]);
    consoleSplitter_->SetRowInfo(0, 200, 10);

    viewMain->SetSplitters(rowSplitter_, columnSplitter_);

    connect(static_cast<CViewCameraList*>(panes_[0]), &CViewCameraList::connectionChanged, this,
            &CMainFrame::onConnectionChanged);
}

void CMainFrame::onConnectionChanged(const QString& cameraName)
{
    if (!cameraName.isEmpty()) {
        setWindowTitle(QStringLiteral("Kestrel - ") + cameraName);
        return;
    }
    setWindowTitle(QStringLiteral("Kestrel"));
    // The live picture goes black, as at start, instead of keeping the last frame of a camera
    // that is gone.
    const std::vector<std::uint8_t> black(FrameBuffers::kFrameBytes, 0);
    static_cast<CViewViewscreen*>(panes_[2])
        ->ShowFrame(CViewViewscreen::LivePicture, FrameBuffers::kWidth, FrameBuffers::kHeight,
                    black.data());
}

QWidget* CMainFrame::pane(int index) const
{
    return index >= 0 && index < kPaneCount ? panes_[index] : nullptr;
}

QStringList CMainFrame::InstalledManualDirs()
{
    return {QCoreApplication::applicationDirPath() + QStringLiteral("/../share/doc/kestrel/manual"),
            QStringLiteral(KESTREL_MANUAL_DIR)};
}

QUrl CMainFrame::ManualUrl(const QStringList& htmlManualDirs)
{
    const QString chm = QDir::current().absoluteFilePath(QStringLiteral("Kestrel.chm"));
    if (QFileInfo(chm).isFile())
        return QUrl::fromLocalFile(chm);
    for (const QString& dir : htmlManualDirs) {
        const QFileInfo index(QDir(dir), QStringLiteral("index.html"));
        if (index.isFile())
            return QUrl::fromLocalFile(index.canonicalFilePath());
    }
    return {};
}

void CMainFrame::openManual()
{
    // With no manual at all, or no viewer for it, nothing is shown.
    const QUrl url = ManualUrl();
    if (url.isEmpty())
        return;
    if (urlOpener_)
        urlOpener_(url);
    else
        QDesktopServices::openUrl(url);
}

void CMainFrame::showAbout()
{
    CAboutDlg about(this);
    about.exec();
}

int CMainFrame::activePaneIndex() const
{
    QWidget* focus = QApplication::focusWidget();
    if (!focus)
        return -1;
    for (int i = 0; i < kPaneCount; ++i)
        if (panes_[i] && (panes_[i] == focus || panes_[i]->isAncestorOf(focus)))
            return i;
    return -1;
}

namespace {

// The first control of the pane that takes the focus by keyboard, or the pane itself.
QWidget* focusTarget(QWidget* pane)
{
    for (QWidget* child : pane->findChildren<QWidget*>()) {
        if ((child->focusPolicy() & Qt::TabFocus) && child->isVisibleTo(pane) &&
            child->isEnabled())
            return child;
    }
    return pane;
}

}  // namespace

void CMainFrame::ActivateNextPane(bool previous)
{
    const int current = activePaneIndex();
    const int step = previous ? kPaneCount - 1 : 1;
    int index = current < 0 ? (previous ? kPaneCount - 1 : 0) : (current + step) % kPaneCount;
    for (int tries = 0; tries < kPaneCount; ++tries, index = (index + step) % kPaneCount) {
        QWidget* target = panes_[index];
        if (!target || !target->isVisible())
            continue;
        QWidget* focus = focusTarget(target);
        if (focus == target && target->focusPolicy() == Qt::NoFocus)
            target->setFocusPolicy(Qt::ClickFocus);   // a pane without controls still shows it has the focus
        focus->setFocus(Qt::ShortcutFocusReason);
        return;
    }
}
