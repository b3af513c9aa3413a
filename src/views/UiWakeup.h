// Wakes the user-interface thread from any thread without a Qt call and without allocating:
// an eventfd watched by a QSocketNotifier. Wakes that arrive before the handler runs merge
// into one; the handler runs on the thread that owns the object. Without an eventfd (the
// process is out of file descriptors) it falls back to queued calls and says so once on the
// console and on stderr, so the live view and the console keep working.
#pragma once

#include <QObject>

#include <atomic>
#include <functional>

class QSocketNotifier;

class UiWakeup : public QObject {
public:
    explicit UiWakeup(std::function<void()> handler, QObject* parent = nullptr);
    ~UiWakeup() override;

    // Any thread; never blocks. The caller makes sure the object outlives the call.
    void wake();

    bool usesEventfd() const { return fd_ >= 0; }

private:
    void drain();
    void reportFallback(int error);

    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    std::function<void()> handler_;
    std::atomic<bool> queued_{false};   // fallback: a queued call is on its way
};
