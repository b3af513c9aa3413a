#include "capture/LiveMagnifier.h"

#include "camera/CanonDriver.h"
#include "document/CViewDoc.h"
#include "kit/Worker.h"

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
    worker_ = std::make_unique<Worker<std::uint32_t>>([this](std::uint32_t& held) {
        // Told even when unchanged: the menu may show a factor the camera refused.
        shownFactor_ = held;
        if (onChanged) onChanged(held);
    });
}

LiveMagnifier::~LiveMagnifier() = default;

void LiveMagnifier::want(const std::function<void(Wanted&)>& change) {
    bool queued = false;   // a job on its way takes this change too
    {
        std::lock_guard<std::mutex> guard(lock_);
        queued = wanted_.dirty;
        change(wanted_);
        wanted_.dirty = true;
    }
    if (!queued) worker_->Post([this](const std::atomic<bool>&) { return take(); });
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

std::uint32_t LiveMagnifier::take() {
    Wanted w;
    {
        std::lock_guard<std::mutex> guard(lock_);
        w = wanted_;
        // The factor stays wanted; moves and the click are taken.
        wanted_.dx = wanted_.dy = 0;
        wanted_.centre = wanted_.dirty = wanted_.forget = false;
    }
    return apply(w);
}

std::uint32_t LiveMagnifier::apply(const Wanted& w) {
    if (w.forget) {
        factor_ = 1;
        x_ = y_ = sensorW_ = sensorH_ = 0;
        // A factor chosen after the forgetting, before this job ran, is set on the new camera.
        if (w.factor == 1) return 1;
    }
    camera::CanonDriver* driver = document_ != nullptr ? document_->openDriver() : nullptr;
    if (driver == nullptr || !driver->properties().hasMagnify) return factor_;
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
    if (!driver->SetMagnify(f, x, y)) {
        // Refused: what the camera holds now, as far as it says.
        std::uint32_t held = factor_, hx = 0, hy = 0;
        if (driver->GetMagnify(held, hx, hy) && (held == 1 || held == 5 || held == 10))
            factor_ = held;
        return factor_;
    }
    factor_ = f;
    if (f > 1) {
        x_ = x;
        y_ = y;
    }
    return f;
}
