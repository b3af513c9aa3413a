// The log console pane ("Console", registered as "Debug"): a read-only scrolling log that any
// thread may write to, and the receiver of camera SDK failures (LogError).
#pragma once

#include "document/CView.h"

#include <QWidget>

#include <cstddef>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

class CViewDoc;
class QPlainTextEdit;
class UiWakeup;

class CViewDebug : public QWidget, public CView, public CLogSink {
    Q_OBJECT
public:
    // The log never holds more than this many characters; the oldest whole lines give way.
    static constexpr std::size_t kMaxLogChars = 49999;

    // Creates the text control, puts LogError into the document's log slot and registers the
    // pane as "Debug". A null document is allowed (nothing is registered).
    explicit CViewDebug(CViewDoc* document, QWidget* parent = nullptr);
    ~CViewDebug() override;

    // Appends the text as it is. From the UI thread it shows at once; from any other thread it
    // is queued and shown when the UI thread next runs its event loop, in the order written.
    void WriteLog(const std::string& text) override;
    // printf-style: formats (at most kMaxLogChars characters) and appends.
    void WriteLog(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // The receiver of SDK failures: a dated heading, the step between dashes, the error text.
    // Does nothing while no console exists.
    static void LogError(const std::string& step, const std::string& errorText);
    static CViewDebug* activeConsole();

    // The text LogError writes for a failure at the given local time.
    static std::string FormatErrorReport(const std::tm& when, const std::string& step,
                                         const std::string& errorText);
    // How many leading characters of `log` must go (whole lines, or all of it when no line
    // break helps) so that `incoming` more characters fit within `limit`.
    static std::size_t CharsToDrop(const std::string& log, std::size_t incoming,
                                   std::size_t limit = kMaxLogChars);

    // The log as written, with its "\r\n" line ends (UI thread).
    const std::string& logText() const { return log_; }
    QPlainTextEdit* textControl() const { return text_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void flushPending();   // UI thread: shows everything handed over by other threads
    void append(const std::vector<std::string>& messages);

    CViewDoc* document_;
    QPlainTextEdit* text_;
    std::string log_;

    std::mutex pendingMutex_;
    std::vector<std::string> pending_;
    bool flushQueued_ = false;
    UiWakeup* wakeup_ = nullptr;   // child: runs flushPending on the UI thread
    bool followingEnd_ = true;     // the newest line is in view (the user has not scrolled up)
};

// printf-style write to a console found by name; does nothing when there is no console.
void WriteLog(CView* console, const char* format, ...) __attribute__((format(printf, 2, 3)));
