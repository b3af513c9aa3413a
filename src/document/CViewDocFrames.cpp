// The capture document's frame side: the SDK relays, the stacking and stitch steps of each
// viewfinder frame, strips, noise calibration, the histogram and the buffer copies.
#include "document/CViewDoc.h"

#include "sdk/CameraEvent.h"
#include "sdk/FrameHeader.h"
#include "document/HistogramCalc.h"
#include "document/StackingWindow.h"
#include "document/StripCut.h"

#include <algorithm>
#include <cstring>

// ---- Relays (SDK threads) ----

void CViewDoc::LogRelay(const std::string& step, const std::string& errorText) {
    CViewDoc* doc = instance_.load();
    // A reconnect attempt's failures are expected (the camera is still away): not logged.
    if (doc == nullptr || doc->session_.quiet()) return;
    if (LogReceiver receiver = doc->onLog_.load()) receiver(step, errorText);
}

sdk::Result CViewDoc::CameraEventRelay(std::uint32_t eventId, const void* data, std::uint32_t size,
                                       void* /*context*/) {
    CViewDoc* doc = instance_.load();
    if (doc == nullptr) return 0;
    const std::uint32_t id = eventId & 0xFFFFu;
    const sdk::CameraEventData event = sdk::CameraEventData::Decode(id, data, size);
    switch (id) {
        case sdk::kEventBattery: {
            if (camera::CanonDriver* driver = doc->openDriver())
                driver->NoteBattery(event.level, event.text);
            if (CameraEventReceiver receiver = doc->onCameraEvent_.load()) receiver(event.level);
            break;
        }
        case sdk::kEventSettingsChanged:
            if (SettingsReceiver receiver = doc->onSettingsChanged_.load()) receiver();
            break;
        case sdk::kEventCameraPicture: doc->TakeCameraPicture(event.text, event.lateFile); break;
        case sdk::kEventCameraGone: doc->session_.NoteGone(); break;
        default: break;
    }
    return 0;
}

sdk::Result CViewDoc::ProgressRelay(std::uint32_t value, std::uint32_t /*status*/,
                                    void* /*context*/) {
    CViewDoc* doc = instance_.load();
    if (doc == nullptr) return 0;
    if (ProgressReceiver receiver = doc->onProgress_.load())
        receiver(static_cast<std::int32_t>(value));
    return 0;
}

sdk::Result CViewDoc::FrameRelay(void* frame, std::uint32_t size, std::uint32_t /*format*/,
                                 void* /*context*/) {
    CViewDoc* doc = instance_.load();
    if (doc == nullptr) return 0;
    FrameReceiver receiver = doc->onFrame_.load();
    if (receiver == nullptr) return 0;
    if (!sdk::IsViewfinderFrame(frame, size)) {
        doc->droppedFrames_.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    std::uint8_t* pixels = static_cast<std::uint8_t*>(frame) + FrameBuffers::kHeaderBytes;
    {
        std::lock_guard lock(doc->frameLock_);
        const std::int32_t frames = doc->additiveFrames_.load();
        if (frames > 0) {
            // The stacked picture replaces the pixels in the SDK's own buffer.
            doc->stacking_->Step(pixels, frames);
        } else if (doc->stitchDirection_.load() != 0) {
            std::memcpy(doc->buffers_->liveFrame.data(), pixels, FrameBuffers::kPixelBytes);
        }
    }
    receiver(static_cast<const std::uint8_t*>(frame));
    if (const std::shared_ptr<FrameTap> tap = doc->frameTap_.load()) tap->TakeFrame(pixels);
    return 0;
}

// ---- Stitch ----

void CViewDoc::PrepareStitchStrip(std::uint32_t direction) {
    std::lock_guard lock(frameLock_);
    stitchDirection_.store(direction);
    CutStrip(buffers_->previousShot, direction, buffers_->overlapStrip);
}

void CViewDoc::ClearStitch() {
    std::lock_guard lock(frameLock_);
    buffers_->previousShot.fill(0);
    buffers_->overlapStrip.fill(0);
}

void CViewDoc::CopyOverlapStrip(std::uint8_t* out) const {
    std::lock_guard lock(frameLock_);
    std::memcpy(out, buffers_->overlapStrip.data(), FrameBuffers::kStripBytes);
}

// ---- Astrophotography ----

void CViewDoc::SetAdditiveFrames(std::int32_t frames) { additiveFrames_.store(frames); }

void CViewDoc::CalibrateNoise() {
    std::lock_guard lock(frameLock_);
    if (additiveFrames_.load() != 0) stacking_->CalibrateNoise();
    else stacking_->ClearNoise();
}

std::size_t CViewDoc::stackedFrameCount() const {
    std::lock_guard lock(frameLock_);
    return stacking_->count();
}

// ---- Histogram ----

bool CViewDoc::UpdateHistogram(const std::uint8_t* pixels, int width, int height,
                               std::uint64_t nowMs, std::uint64_t& nextHistogramTime) {
    if (nowMs <= nextHistogramTime) return false;
    StoreHistogram(pixels, width, height);
    nextHistogramTime = histogramInterval_ + nowMs;
    return true;
}

bool CViewDoc::UpdateHistogram(const std::uint8_t* pixels, int width, int height,
                               std::uint64_t nowMs) {
    std::uint64_t next = nextHistogramTime_.load();
    do {
        if (nowMs <= next) return false;
    } while (!nextHistogramTime_.compare_exchange_weak(next, histogramInterval_ + nowMs));
    StoreHistogram(pixels, width, height);
    return true;
}

void CViewDoc::StoreHistogram(const std::uint8_t* pixels, int width, int height) {
    Histogram fresh;
    if (pixels != nullptr) ComputeHistogram(pixels, width, height, fresh);
    std::lock_guard lock(frameLock_);
    buffers_->histogram = fresh;
}

Histogram CViewDoc::histogram() const {
    std::lock_guard lock(frameLock_);
    return buffers_->histogram;
}

// ---- Buffer copies ----

FrameBuffers::Frame CViewDoc::liveFrame() const {
    std::lock_guard lock(frameLock_);
    return buffers_->liveFrame;
}

FrameBuffers::Frame CViewDoc::previousShot() const {
    std::lock_guard lock(frameLock_);
    return buffers_->previousShot;
}
