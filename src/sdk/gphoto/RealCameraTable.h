// The real-camera slot's sdk::Api table: plain functions that send a call with a real handle
// (kRealBit) to the bound RealCameraBackend and any other call to the slot's simulated table.
//
// The table's entries are plain function pointers, so they reach the backend through the one
// bound instance this file keeps. A RealCameraTable claims that place when made and frees it
// when destroyed; making a second while one exists throws std::logic_error rather than
// pointing the table elsewhere.
//
// Threads: the table may be called from any thread while a backend is bound; binding and
// destruction happen on the thread that owns the RealCameras, with no driver using the table.
#pragma once

#include "sdk/sdk.h"

namespace gphoto {

class RealCameraBackend;

class RealCameraTable {
public:
    RealCameraTable();    // throws std::logic_error while another exists
    ~RealCameraTable();   // the table must no longer be called
    RealCameraTable(const RealCameraTable&) = delete;
    RealCameraTable& operator=(const RealCameraTable&) = delete;

    // Routes the table to backend (which must outlive this object) and fills it.
    void Bind(RealCameraBackend& backend);
    const sdk::Api& api() const { return api_; }

private:
    sdk::Api api_{};
};

}   // namespace gphoto
