// What the document knows of a pane: something registered under a name. Panes that take
// console text also implement CLogSink, found by looking up "Debug".
#pragma once

#include <string>

class CViewDoc;

class CView {
public:
    // Leaves the document's registry, so that nothing finds the pane once it is gone.
    virtual ~CView();

protected:
    // Leaves the registry now. A pane that other threads reach through the document (the
    // console) calls this first in its own destructor, before any of its parts go.
    void LeaveRegistry();

private:
    friend class CViewDoc;
    CViewDoc* registry_ = nullptr;   // the document this pane is registered with (UI thread)
};

class CLogSink {
public:
    virtual ~CLogSink() = default;
    // Appends text to the console; safe to call from any thread, never blocks on the UI.
    virtual void WriteLog(const std::string& text) = 0;
};
