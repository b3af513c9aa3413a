// Wakes the user-interface thread from any thread without a Qt call and without allocating:
// an eventfd watched by a QSocketNotifier. Wakes that arrive before the handler runs merge
// into one; the handler runs on the thread that owns the object.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

class UiWakeup : public QObject {
public:
    explicit UiWakeup(std::function<void()> handler, QObject* parent = nullptr);
    ~UiWakeup() override;

    // Any thread; never blocks. The caller makes sure the object outlives the call.
    void wake();

private:
    void drain();

    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    std::function<void()> handler_;
};
