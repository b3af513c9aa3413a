#include "app/CMainApp.h"

#include "app/CMainFrame.h"
#include "document/CViewDoc.h"
#include "resources/Resources.h"
#include "sdk/sim/Simulator.h"

#include <new>

CMainApp::CMainApp() = default;

CMainApp::~CMainApp()
{
    frame_.reset();      // panes go while the document they point at still exists
    document_.reset();   // writes config.cfg and closes the drivers
}

bool CMainApp::InitInstance()
{
    kestrelInitResources();
    // The simulator's call journal is for tests; in the program it would only grow.
    sim::Simulator::cd().setJournal(false);
    sim::Simulator::rc().setJournal(false);
    try {
        document_ = std::make_unique<CViewDoc>(sim::Simulator::cd().api(),
                                               sim::Simulator::rc().api());
        frame_ = std::make_unique<CMainFrame>(document_.get());
    } catch (const std::exception&) {
        frame_.reset();
        document_.reset();
        return false;
    }
    frame_->setWindowTitle(QStringLiteral("Kestrel"));
    frame_->show();
    frame_->repaint();
    return true;
}
