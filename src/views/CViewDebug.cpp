#include "views/CViewDebug.h"

#include "kit/UiWakeup.h"

#include "kit/PaneCaption.h"
#include "document/CViewDoc.h"

#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QThread>

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace {

// Guards activeConsole against a console being destroyed while another thread reports.
std::mutex activeMutex;
CViewDebug* active = nullptr;

// What the text control shows for a piece of the log: the same text without carriage returns.
QString displayText(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (char c : text)
        if (c != '\r') shown.push_back(c);
    return QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
}

std::string vformat(const char* format, va_list args) {
    char buffer[CViewDebug::kMaxLogChars + 1];
    const int written = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (written <= 0) return {};
    return std::string(
        buffer, std::min<std::size_t>(static_cast<std::size_t>(written), CViewDebug::kMaxLogChars));
}

}   // namespace

CViewDebug::CViewDebug(CViewDoc* document, QWidget* parent)
    : QWidget(parent), document_(document), text_(new QPlainTextEdit(this)) {
    text_->setObjectName(QStringLiteral("consoleText"));
    text_->setReadOnly(true);
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setGeometry(0, kPaneCaptionHeight, 10, 10);
    // A wake-up that falls back to queued calls says why on the console, this one's included.
    UiWakeup::setFallbackReporter([](const QString& line) {
        if (CViewDoc* document = CViewDoc::instance()) document->Log(line.toStdString() + "\r\n");
    });
    // An eventfd wake-up rather than a queued call: the hand-over stays visible to the thread
    // checker, since it goes through pendingMutex_ alone.
    wakeup_ = new UiWakeup([this] { flushPending(); }, this);
    // A log followed at its end stays at its end when a resize wraps its lines anew (the range
    // changes after the resize, once the text is laid out again).
    QScrollBar* bar = text_->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this,
            [this, bar](int value) { followingEnd_ = value == bar->maximum(); });
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar] {
        if (followingEnd_) bar->setValue(bar->maximum());
    });
    {
        std::lock_guard lock(activeMutex);
        active = this;
    }
    if (document_) {
        document_->setOnLog(&CViewDebug::LogError);
        document_->RegisterView(this, "Debug");
    }
}

CViewDebug::~CViewDebug() {
    // Camera threads reach the console by both roads (the document's Log and LogError): each
    // is closed, waiting for a write under way, before any part of the pane goes.
    LeaveRegistry();
    std::lock_guard lock(activeMutex);
    if (active == this) active = nullptr;
}

CViewDebug* CViewDebug::activeConsole() {
    std::lock_guard lock(activeMutex);
    return active;
}

void CViewDebug::WriteLog(const std::string& text) {
    if (QThread::currentThread() != thread()) {
        bool schedule = false;
        {
            std::lock_guard lock(pendingMutex_);
            pending_.push_back(text);
            schedule = !flushQueued_;
            flushQueued_ = true;
        }
        if (schedule) wakeup_->wake();
        return;
    }
    {
        // Text other threads handed over comes first, so nothing overtakes it.
        std::unique_lock lock(pendingMutex_);
        if (!pending_.empty()) {
            pending_.push_back(text);
            lock.unlock();
            flushPending();
            return;
        }
    }
    append({text});
}

void CViewDebug::WriteLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string message = vformat(format, args);
    va_end(args);
    WriteLog(message);
}

void WriteLog(CView* console, const char* format, ...) {
    auto* sink = dynamic_cast<CLogSink*>(console);
    if (!sink) return;
    va_list args;
    va_start(args, format);
    std::string message = vformat(format, args);
    va_end(args);
    sink->WriteLog(message);
}

void CViewDebug::flushPending() {
    std::vector<std::string> messages;
    {
        std::lock_guard lock(pendingMutex_);
        messages.swap(pending_);
        flushQueued_ = false;
    }
    if (!messages.empty()) append(messages);
}

std::size_t CViewDebug::CharsToDrop(const std::string& log, std::size_t incoming,
                                    std::size_t limit) {
    if (log.size() + incoming <= limit) return 0;
    if (incoming >= limit) return log.size();
    const std::size_t need = log.size() + incoming - limit;
    const std::size_t lineEnd = log.find('\n', need - 1);
    return lineEnd == std::string::npos ? log.size() : lineEnd + 1;
}

void CViewDebug::append(const std::vector<std::string>& messages) {
    const std::size_t oldSize = log_.size();
    std::size_t dropped = 0;      // characters cut from the front during this call
    qsizetype droppedShown = 0;   // what they took up in the text control
    bool rewrite = false;
    std::string added;

    for (const std::string& message : messages) {
        std::string_view piece = message;
        if (piece.size() > kMaxLogChars) {
            piece = piece.substr(0, kMaxLogChars);
            rewrite = true;
        }
        const std::size_t cut = CharsToDrop(log_, piece.size());
        if (cut > 0) {
            if (dropped + cut <= oldSize)
                droppedShown += displayText(std::string_view(log_).substr(0, cut)).size();
            log_.erase(0, cut);
            dropped += cut;
        }
        log_.append(piece);
        added.append(piece);
    }
    if (dropped > oldSize) rewrite = true;

    if (rewrite) {
        text_->setPlainText(displayText(log_));
    } else {
        QTextCursor cursor(text_->document());
        cursor.beginEditBlock();
        if (droppedShown > 0) {
            cursor.setPosition(0);
            cursor.setPosition(static_cast<int>(droppedShown), QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        }
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(displayText(added));
        cursor.endEditBlock();
    }
    QScrollBar* bar = text_->verticalScrollBar();
    bar->setValue(bar->maximum());
}

std::string CViewDebug::FormatErrorReport(const std::tm& when, const std::string& step,
                                          const std::string& errorText) {
    char heading[96];
    std::snprintf(heading, sizeof heading, "\r\nDate: %d/%d/%d --- Time: %d:%d:%d\r\n",
                  when.tm_mday, when.tm_mon + 1, when.tm_year + 1900, when.tm_hour, when.tm_min,
                  when.tm_sec);
    std::string report = heading;
    report += "--- " + step + " ---\r\n";
    report += errorText;
    return report;
}

void CViewDebug::LogError(const std::string& step, const std::string& errorText) {
    std::lock_guard lock(activeMutex);
    if (!active) return;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    // One write, so that a report from another thread is never split by other text.
    active->WriteLog(FormatErrorReport(local, step, errorText));
}

void CViewDebug::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawPaneCaption(painter, rect(), QStringLiteral("Console"));
}

void CViewDebug::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    text_->setGeometry(0, kPaneCaptionHeight, width(), std::max(0, height() - kPaneCaptionHeight));
}
