// Wakes the user-interface thread from any thread without a Qt call and without allocating:
// an eventfd watched by a QSocketNotifier. Wakes that arrive before the handler runs merge
// into one; the handler runs on the thread that owns the object. Without an eventfd (the
// process is out of file descriptors) it falls back to queued calls and says so once on stderr
// and to the fallback reporter (the console installs one), so the live view keeps working.
#pragma once

#include <QObject>

#include <atomic>
#include <functional>

class QString;
class QSocketNotifier;

class UiWakeup : public QObject {
public:
    explicit UiWakeup(std::function<void()> handler, QObject* parent = nullptr);
    ~UiWakeup() override;

    // Any thread; never blocks. The caller makes sure the object outlives the call.
    void wake();

    bool usesEventfd() const { return fd_ >= 0; }

    // Told once a process, from the event loop, why wake-ups fall back to queued calls; by
    // default nobody but stderr is. UI thread only.
    using FallbackReporter = std::function<void(const QString& line)>;
    static void setFallbackReporter(FallbackReporter reporter);

private:
    void drain();
    void reportFallback(int error);

    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    std::function<void()> handler_;
    std::atomic<bool> queued_{false};   // fallback: a queued call is on its way
};
