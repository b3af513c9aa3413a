// What the document knows of a pane: something registered under a name. Panes that take
// console text also implement CLogSink, found by looking up "Debug".
#pragma once

#include <string>

class CView {
public:
    virtual ~CView() = default;
};

class CLogSink {
public:
    virtual ~CLogSink() = default;
    // Appends text to the console; safe to call from any thread, never blocks on the UI.
    virtual void WriteLog(const std::string& text) = 0;
};
