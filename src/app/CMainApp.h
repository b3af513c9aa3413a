// The application object: makes the one document (over the simulated camera SDKs, with real
// cameras through libgphoto2 in the RC slot) and the main window, and takes them down in the
// right order (window and panes first, then the document, then the real-camera table).
#pragma once

#include "app/CommandLine.h"

#include <QString>

#include <memory>

class CMainFrame;
class CViewDoc;
namespace gphoto {
class RealCameras;
}

class CMainApp {
public:
    explicit CMainApp(CameraOptions cameras = CameraOptions());
    ~CMainApp();
    CMainApp(const CMainApp&) = delete;
    CMainApp& operator=(const CMainApp&) = delete;

    // Creates the document and the frame with its panes, titles and shows the window.
    // False when either cannot be made.
    bool InitInstance();

    CViewDoc* document() const { return document_.get(); }

    // What the user is told when config.cfg cannot be saved as the program ends: a warning box
    // by default (the console is going with the window); tests put a stand-in here.
    using ExitNotice = void (*)(const QString& text);
    static void setExitNotice(ExitNotice notice);
    CMainFrame* mainFrame() const { return frame_.get(); }

private:
    // A console line of the real-camera backend (camera thread): shown after the driver's own
    // error line for the same call; none while the camera session tries to reopen a camera.
    static void Note(const std::string& line);

    const CameraOptions cameraOptions_;
    // Declared in this order so that the frame goes before the document, and the document
    // (whose driver uses the table) before the real cameras.
    std::unique_ptr<gphoto::RealCameras> realCameras_;
    std::unique_ptr<CViewDoc> document_;
    std::unique_ptr<CMainFrame> frame_;
};
