#include "capture/LiveMagnifier.h"

#include "camera/CanonDriver.h"
#include "document/CViewDoc.h"
#include "kit/UiWakeup.h"

#include <algorithm>
#include <cmath>

namespace {

// A place far beyond any sensor: the camera holds the area at its far corner, which tells
// the sensor's extent at that factor.
constexpr std::uint32_t kFarCorner = 1000000;

std::uint32_t placeOf(double centre, std::uint32_t area) {
    return static_cast<std::uint32_t>(std::max(0.0, std::round(centre - area / 2.0)));
}

}   // namespace

LiveMagnifier::LiveMagnifier(CViewDoc* document, QObject* parent)
    : QObject(parent), document_(document) {
    wakeup_ = new UiWakeup(
        [this] {
            std::uint32_t taken = 1;
            {
                std::lock_guard<std::mutex> guard(lock_);
                taken = taken_;
            }
            if (taken == shownFactor_) return;
            shownFactor_ = taken;
            if (onChanged) onChanged(taken);
        },
        this);
    worker_ = std::thread([this] { work(); });
}

LiveMagnifier::~LiveMagnifier() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stop_ = true;
    }
    ready_.notify_one();
    worker_.join();
}

void LiveMagnifier::want(const std::function<void(Wanted&)>& change) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        change(wanted_);
        wanted_.dirty = true;
    }
    ready_.notify_one();
}

void LiveMagnifier::Magnify(std::uint32_t factor) {
    if (factor != 1 && factor != 5 && factor != 10) return;
    want([factor](Wanted& w) { w.factor = factor; });
}

void LiveMagnifier::Move(int dx, int dy) {
    if (shownFactor_ <= 1) return;
    want([dx, dy](Wanted& w) {
        w.dx += dx;
        w.dy += dy;
    });
}

void LiveMagnifier::CentreOn(double fx, double fy) {
    if (!(fx >= 0 && fx <= 1 && fy >= 0 && fy <= 1)) return;
    want([fx, fy](Wanted& w) {
        w.centre = true;
        w.fx = fx;
        w.fy = fy;
    });
}

void LiveMagnifier::Forget() {
    shownFactor_ = 1;
    want([](Wanted& w) { w = Wanted{1, 0, 0, false, 0.5, 0.5, true, true}; });
}

void LiveMagnifier::work() {
    for (;;) {
        Wanted w;
        {
            std::unique_lock<std::mutex> guard(lock_);
            ready_.wait(guard, [this] { return stop_ || wanted_.dirty; });
            if (stop_) return;
            w = wanted_;
            // The factor stays wanted; moves and the click are taken.
            wanted_.dx = wanted_.dy = 0;
            wanted_.centre = wanted_.dirty = wanted_.forget = false;
        }
        apply(w);
    }
}

void LiveMagnifier::apply(const Wanted& w) {
    if (w.forget) {
        factor_ = 1;
        x_ = y_ = sensorW_ = sensorH_ = 0;
        std::lock_guard<std::mutex> guard(lock_);
        taken_ = 1;
        return;
    }
    camera::CanonDriver* driver = document_ != nullptr ? document_->openDriver() : nullptr;
    if (driver == nullptr || !driver->properties().hasMagnify) return;
    const std::uint32_t f = w.factor;
    if (f > 1 && sensorW_ == 0) {
        std::uint32_t farX = kFarCorner, farY = kFarCorner;
        if (driver->SetMagnify(f, farX, farY) && farX < kFarCorner && farY < kFarCorner) {
            sensorW_ = farX * f / (f - 1);
            sensorH_ = farY * f / (f - 1);
            // Where the area was: the middle of the sensor at first.
            if (factor_ == 1) {
                x_ = (sensorW_ - sensorW_ / f) / 2;
                y_ = (sensorH_ - sensorH_ / f) / 2;
            }
        }
    }
    // The middle of the area shown now, in sensor units, and what the wish does to it.
    const double shownW = factor_ > 1 ? sensorW_ / double(factor_) : sensorW_;
    const double shownH = factor_ > 1 ? sensorH_ / double(factor_) : sensorH_;
    const double left = factor_ > 1 ? x_ : 0, top = factor_ > 1 ? y_ : 0;
    double cx = left + shownW / 2, cy = top + shownH / 2;
    if (w.centre) {
        cx = left + w.fx * shownW;
        cy = top + w.fy * shownH;
    }
    const std::uint32_t areaW = f > 1 ? sensorW_ / f : sensorW_;
    const std::uint32_t areaH = f > 1 ? sensorH_ / f : sensorH_;
    cx += w.dx * (areaW / 2.0);
    cy += w.dy * (areaH / 2.0);
    std::uint32_t x = placeOf(cx, areaW), y = placeOf(cy, areaH);
    if (!driver->SetMagnify(f, x, y)) return;
    factor_ = f;
    if (f > 1) {
        x_ = x;
        y_ = y;
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        taken_ = f;
    }
    wakeup_->wake();
}
