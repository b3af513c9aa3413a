#include "app/CMainApp.h"

#include "app/CMainFrame.h"
#include "app/RealCameraLabels.h"
#include "document/CViewDoc.h"
#include "resources/Resources.h"
#include "sdk/gphoto/RealCameras.h"
#include "sdk/sim/Simulator.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <mutex>
#include <new>
#include <vector>

namespace {
void WarnInBox(const QString& text) {
    QMessageBox::warning(nullptr, QStringLiteral("Kestrel"), text);
}
CMainApp::ExitNotice exitNotice = &WarnInBox;
}   // namespace

CMainApp::CMainApp(CameraOptions cameras) : cameraOptions_(std::move(cameras)) {}

void CMainApp::setExitNotice(ExitNotice notice) { exitNotice = notice ? notice : &WarnInBox; }

CMainApp::~CMainApp() {
    // Saved while the window is still there, so that a failure also reaches the user; the
    // document saves once more as it goes.
    std::string error;
    if (document_ && frame_ && !document_->SaveConfig(&error))
        exitNotice(QStringLiteral("Settings not saved: ") + QString::fromStdString(error));
    // A quit without a close (Ctrl+C) still ends the session for the command after each picture.
    if (frame_) frame_->close();
    frame_.reset();         // panes go while the document they point at still exists
    document_.reset();      // writes config.cfg and closes the drivers
    realCameras_.reset();   // no driver uses the table any more
}

namespace {
std::mutex notesLock;                    // guards pendingNotes
std::vector<std::string> pendingNotes;   // lines from any thread, not yet queued for the console
}   // namespace

void CMainApp::Note(const std::string& line) {
    // A reopen attempt's failures are expected (the camera is still away): not shown. Asked
    // here, on the camera thread, while the attempt waits for its call.
    if (CViewDoc* doc = CViewDoc::instance(); doc != nullptr && doc->cameraSession().quiet())
        return;
    // Two hops: the driver reports the failed call as soon as the table returns; this line
    // follows it (queued to the UI thread, then a short timer for a call from the sequence
    // worker).
    // The line is handed over under a lock (the queued call carries nothing), so the window
    // thread reads what the camera thread wrote only after the lock's hand-over.
    {
        const std::lock_guard<std::mutex> lock(notesLock);
        pendingNotes.push_back(line);
    }
    QMetaObject::invokeMethod(
        qApp,
        [] {
            std::vector<std::string> lines;
            {
                const std::lock_guard<std::mutex> lock(notesLock);
                lines.swap(pendingNotes);
            }
            for (std::string& taken : lines)
                QTimer::singleShot(50, qApp, [text = std::move(taken)] {
                    if (CViewDoc* doc = CViewDoc::instance()) doc->Log(text + "\r\n");
                });
        },
        Qt::QueuedConnection);
}

bool CMainApp::InitInstance() {
    kestrelInitResources();
    // The simulator's call journal is for tests; in the program it would only grow.
    sim::Simulator::cd().setJournal(false);
    sim::Simulator::rc().setJournal(false);
    try {
        gphoto::Options options;
        options.listing = cameraOptions_.listing;
        options.autodetect = cameraOptions_.autodetect;
        options.cameras = cameraOptions_.cameras;
        options.labels = RealCameraLabels();
        options.note = &CMainApp::Note;
        realCameras_ = std::make_unique<gphoto::RealCameras>(sim::Simulator::rc().api(), options);
        const sdk::Api& cd = cameraOptions_.listing == gphoto::Listing::Real
                                 ? gphoto::WithoutListing(sim::Simulator::cd().api())
                                 : sim::Simulator::cd().api();
        document_ = std::make_unique<CViewDoc>(cd, realCameras_->api());
        frame_ = std::make_unique<CMainFrame>(document_.get());
    } catch (const std::exception& failure) {
        frame_.reset();
        document_.reset();
        realCameras_.reset();
        // Said on stderr and, as the window system is up, in a box the user sees.
        const QString text =
            QStringLiteral("Kestrel could not start: ") + QString::fromLocal8Bit(failure.what());
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        QMessageBox::critical(nullptr, QStringLiteral("Kestrel"), text);
        return false;
    }
    frame_->setWindowTitle(QStringLiteral("Kestrel"));
    frame_->show();
    frame_->repaint();
    return true;
}
