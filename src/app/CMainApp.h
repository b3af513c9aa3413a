// The application object: makes the one document (over the simulated camera SDKs) and the main
// window, and takes them down in the right order (window and panes first, then the document).
#pragma once

#include <memory>

class CMainFrame;
class CViewDoc;

class CMainApp {
public:
    CMainApp();
    ~CMainApp();
    CMainApp(const CMainApp&) = delete;
    CMainApp& operator=(const CMainApp&) = delete;

    // Creates the document and the frame with its panes, titles and shows the window.
    // False when either cannot be made.
    bool InitInstance();

    CViewDoc* document() const { return document_.get(); }
    CMainFrame* mainFrame() const { return frame_.get(); }

private:
    // Declared in this order so that the frame goes before the document.
    std::unique_ptr<CViewDoc> document_;
    std::unique_ptr<CMainFrame> frame_;
};
