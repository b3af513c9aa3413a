// The camera's own magnified live view (1x, 5x, 10x) and the magnified area's place, set on a
// worker thread of its own: the user-interface thread only records what is wanted (the latest
// factor, the moves and the click since the last call) and never waits for the camera; the
// camera's answer comes back through a UiWakeup. Failures are logged by the driver.
#pragma once

#include <QObject>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

class CViewDoc;
class UiWakeup;

class LiveMagnifier : public QObject {
public:
    explicit LiveMagnifier(CViewDoc* document, QObject* parent = nullptr);
    ~LiveMagnifier() override;   // drops what is wanted, joins the worker

    // User-interface thread; none of them waits. Magnify: 1, 5 or 10. Move: by half the
    // magnified area a step (only while magnified). CentreOn: the point of the live picture at
    // fractions fx, fy of its width and height becomes the middle of the magnified area.
    void Magnify(std::uint32_t factor);
    void Move(int dx, int dy);
    void CentreOn(double fx, double fy);
    // A new camera (or none): forgets what was learnt of the last one, back at 1x, no call.
    void Forget();
    std::uint32_t factor() const { return shownFactor_; }

    // Called on the user-interface thread with the factor the camera took.
    std::function<void(std::uint32_t factor)> onChanged;

private:
    struct Wanted {
        std::uint32_t factor = 1;
        int dx = 0, dy = 0;
        bool centre = false;
        double fx = 0.5, fy = 0.5;
        bool dirty = false;
        bool forget = false;
    };
    void want(const std::function<void(Wanted&)>& change);
    void work();
    void apply(const Wanted& w);   // worker thread

    CViewDoc* document_;
    UiWakeup* wakeup_ = nullptr;
    std::uint32_t shownFactor_ = 1;   // user-interface thread

    std::mutex lock_;   // guards wanted_, stop_, taken_
    std::condition_variable ready_;
    Wanted wanted_;
    bool stop_ = false;
    std::uint32_t taken_ = 1;   // the factor the camera took last

    // The worker's own: the area's place and the sensor's extent learnt from the camera (which
    // keeps the area on its sensor); 0 until learnt.
    std::uint32_t factor_ = 1, x_ = 0, y_ = 0, sensorW_ = 0, sensorH_ = 0;
    std::thread worker_;
};
