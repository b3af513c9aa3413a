// End-to-end helpers: the real application object and main window over the simulated SDKs,
// started in a temporary working folder (so config.cfg stays there), with typed access to the
// panes and the console's text.
#pragma once

#include "app/CMainApp.h"
#include "app/CMainFrame.h"
#include "capture/CViewMain.h"
#include "capture/CViewViewscreen.h"
#include "document/CViewDoc.h"
#include "sdk/sim/Simulator.h"
#include "views/CViewCameraList.h"
#include "views/CViewInfo.h"
#include "views/CViewSetting.h"

#include "support/Worlds.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <memory>

namespace testsupport {

struct Window {
    QTemporaryDir dir;
    QString previousCwd = QDir::currentPath();
    std::unique_ptr<CMainApp> app;

    // fps 0 keeps the viewfinder manual (frames only when pushed). cameras: the command line's
    // camera options (real cameras through libgphoto2 beside the simulated ones).
    explicit Window(double fps, CameraOptions cameras = CameraOptions()) {
        ResetSimulators(fps > 0 ? Frames::Streamed : Frames::Pushed, fps);
        QDir::setCurrent(dir.path());
        QDir(dir.path()).mkdir(QStringLiteral("shots"));
        app = std::make_unique<CMainApp>(std::move(cameras));
        ok = app->InitInstance();
        if (ok) document()->SetCaptureFolder(shotsFolder().toStdString());
    }
    ~Window() {
        app.reset();
        QDir::setCurrent(previousCwd);
    }
    bool ok = false;

    QString shotsFolder() const { return dir.filePath(QStringLiteral("shots")) + "/"; }
    CViewDoc* document() const { return app->document(); }
    CMainFrame* frame() const { return app->mainFrame(); }
    template <typename Pane>
    Pane* pane(int index) const {
        return dynamic_cast<Pane*>(frame()->pane(index));
    }
    CViewCameraList* cameraList() const { return pane<CViewCameraList>(0); }
    CViewSetting* settings() const { return pane<CViewSetting>(1); }
    CViewViewscreen* viewscreen() const { return pane<CViewViewscreen>(2); }
    CViewInfo* info() const { return pane<CViewInfo>(3); }
    CViewMain* host() const { return pane<CViewMain>(4); }
    // The console as it reads; the console shows "\r\n" line ends as plain line breaks.
    QString console() const {
        auto* edit = frame()->pane(5)->findChild<QPlainTextEdit*>();
        if (!edit) edit = qobject_cast<QPlainTextEdit*>(frame()->pane(5));
        return edit ? edit->toPlainText() : QString();
    }
    bool selectCamera(const QString& name) const {
        const auto found = cameraList()->cameraList()->findItems(name, Qt::MatchExactly);
        if (found.isEmpty()) return false;
        cameraList()->cameraList()->setCurrentItem(found.front());
        return true;
    }
};

// The console's line for a picture on disk, as the document words it ("Saved ... (... KB)").
inline QString SavedLine(const QString& path) {
    const QFileInfo file(path);
    return QString::fromStdString(CViewDoc::SavedLine(file.fileName().toStdString(),
                                                      static_cast<std::uintmax_t>(file.size())))
        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}   // namespace testsupport
