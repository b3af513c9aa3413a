// Turns SIGINT, SIGTERM and SIGHUP into an orderly quit of the event loop, so that a program
// stopped from the terminal or by its session still closes the camera and writes config.cfg.
#pragma once

#include <QObject>

class QSocketNotifier;

class QuitOnSignal : public QObject {
    Q_OBJECT
public:
    explicit QuitOnSignal(QObject* parent = nullptr);
    ~QuitOnSignal() override;

    // The signal that asked to quit, 0 while none has.
    static int receivedSignal();

private:
    QSocketNotifier* notifier_ = nullptr;
};
