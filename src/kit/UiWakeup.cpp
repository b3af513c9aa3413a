#include "kit/UiWakeup.h"

#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

UiWakeup::FallbackReporter& Reporter() {
    static UiWakeup::FallbackReporter reporter;
    return reporter;
}

}   // namespace

void UiWakeup::setFallbackReporter(FallbackReporter reporter) { Reporter() = std::move(reporter); }

UiWakeup::UiWakeup(std::function<void()> handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {
    fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd_ >= 0) {
        notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &UiWakeup::drain);
    } else {
        reportFallback(errno);
    }
}

UiWakeup::~UiWakeup() {
    delete notifier_;
    if (fd_ >= 0) ::close(fd_);
}

void UiWakeup::wake() {
    if (fd_ < 0) {
        if (!queued_.exchange(true))
            QMetaObject::invokeMethod(
                this, [this] { drain(); }, Qt::QueuedConnection);
        return;
    }
    const std::uint64_t one = 1;
    // Non-blocking: a full counter means a wake-up is pending anyway.
    [[maybe_unused]] const ssize_t written = ::write(fd_, &one, sizeof one);
}

void UiWakeup::drain() {
    if (fd_ >= 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t got = ::read(fd_, &count, sizeof count);
    } else {
        queued_.store(false);
    }
    if (handler_) handler_();
}

void UiWakeup::reportFallback(int error) {
    static std::atomic<bool> reported{false};
    if (reported.exchange(true)) return;
    const std::string line = std::string("Live view wake-up unavailable (eventfd: ") +
                             std::strerror(error) + "); using queued calls instead";
    std::fprintf(stderr, "Kestrel: %s\n", line.c_str());
    // Once the event loop runs the console exists, even when this wake-up is its own.
    QTimer::singleShot(0, this, [line] {
        if (const FallbackReporter& report = Reporter()) report(QString::fromStdString(line));
    });
}
