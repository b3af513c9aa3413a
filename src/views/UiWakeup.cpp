#include "views/UiWakeup.h"

#include <QSocketNotifier>

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

UiWakeup::UiWakeup(std::function<void()> handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {
    fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd_ >= 0) {
        notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &UiWakeup::drain);
    }
}

UiWakeup::~UiWakeup() {
    delete notifier_;
    if (fd_ >= 0) ::close(fd_);
}

void UiWakeup::wake() {
    if (fd_ < 0) return;
    const std::uint64_t one = 1;
    // Non-blocking: a full counter means a wake-up is pending anyway.
    [[maybe_unused]] const ssize_t written = ::write(fd_, &one, sizeof one);
}

void UiWakeup::drain() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = ::read(fd_, &count, sizeof count);
    if (handler_) handler_();
}
