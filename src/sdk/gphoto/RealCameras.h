// Real cameras through libgphoto2, in one driver slot beside that slot's simulated cameras: the
// table lists real cameras first and the simulated ones after them, and routes every call by
// its handle (real handles carry kRealBit) to the libgphoto2 session or the simulated table.
// The program puts it in the RC slot, whose cameras the camera list shows first.
//
// Threads: the table may be called from any thread; every libgphoto2 call runs on the one
// camera thread this object owns, which also makes the frame, progress and event callbacks.
// One RealCameras exists at a time (a second throws std::logic_error); it must outlive every
// driver that uses its table. It owns the backend (RealCameraBackend: camera thread, session,
// listings) and the table that routes to it (RealCameraTable).
#pragma once

#include "sdk/gphoto/Families.h"
#include "sdk/gphoto/RealCameraTable.h"
#include "sdk/sdk.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace gphoto {

constexpr sdk::Handle kRealBit = 0x40000000;

enum class Listing { All, Real, Simulated };

struct Options {
    Listing listing = Listing::All;
    bool autodetect = true;             // also list what libgphoto2 finds on USB
    std::vector<std::string> cameras;   // "MODEL@PORT", listed whether found or not
    Labels labels;                      // the label tables the choices are offered under
    // A console line of the backend's own (libgphoto2's message and code, or how to release a
    // camera held by the desktop). Made on the camera thread, right after the failed call.
    std::function<void(const std::string&)> note;
    // A real camera that vanishes is closed and says so as the simulated cameras do: camera
    // event kEventCameraGone to its event callback, before the call that found it returns.
};

// A copy of table whose device listing is always empty (the other slot's simulated cameras
// under --cameras=real). It serves one table: asked for another, it throws std::logic_error.
// The table must outlive the copy's users.
const sdk::Api& WithoutListing(const sdk::Api& table);

class RealCameras {
public:
    RealCameras(const sdk::Api& simulated, Options options);
    ~RealCameras();
    RealCameras(const RealCameras&) = delete;
    RealCameras& operator=(const RealCameras&) = delete;

    const sdk::Api& api() const;

private:
    RealCameraTable table_;   // first: claims the one table before the backend starts
    std::unique_ptr<RealCameraBackend> backend_;
};

}   // namespace gphoto
