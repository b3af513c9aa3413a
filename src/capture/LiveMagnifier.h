// The camera's own magnified live view (1x, 5x, 10x) and the magnified area's place, set on a
// Worker of its own: the user-interface thread only records what is wanted (the latest factor,
// the moves and the click since the last call) and never waits for the camera; the factor the
// camera holds afterwards (a refused one included) comes back. Failures are logged by the driver.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class CViewDoc;
template <class Result>
class Worker;

class LiveMagnifier : public QObject {
public:
    explicit LiveMagnifier(CViewDoc* document, QObject* parent = nullptr);
    ~LiveMagnifier() override;   // drops what is wanted, waits for a camera call under way

    // User-interface thread; none of them waits. Magnify: 1, 5 or 10. Move: by half the
    // magnified area a step (only while magnified). CentreOn: the point of the live picture at
    // fractions fx, fy of its width and height becomes the middle of the magnified area.
    void Magnify(std::uint32_t factor);
    void Move(int dx, int dy);
    void CentreOn(double fx, double fy);
    // A new camera (or none): forgets what was learnt of the last one, back at 1x, no call.
    void Forget();
    std::uint32_t factor() const { return shownFactor_; }

    // Called on the user-interface thread, after each change asked for, with the factor the
    // camera holds (the old one when it refused).
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
    std::uint32_t take();                   // worker thread: applies what is wanted, if anything
    std::uint32_t apply(const Wanted& w);   // worker thread: the factor held afterwards

    CViewDoc* document_;
    std::uint32_t shownFactor_ = 1;   // user-interface thread

    std::mutex lock_;   // guards wanted_
    Wanted wanted_;

    // The worker's own: the area's place and the sensor's extent learnt from the camera (which
    // keeps the area on its sensor); 0 until learnt.
    std::uint32_t factor_ = 1, x_ = 0, y_ = 0, sensorW_ = 0, sensorH_ = 0;
    std::unique_ptr<Worker<std::uint32_t>> worker_;   // last: goes first
};
