// The camera driver over one SDK table: device listing, connect/disconnect, properties,
// option lists, settings by label, AF lock, zoom, release and viewfinder.
// CanonSDK and CanonRCSDK are the two concrete drivers (CanonSDK.h, CanonRCSDK.h).
//
// Thread safety: every operation holds the driver's lock, so the user-interface thread and the
// sequence worker may call one driver at once. SDK callbacks (frames, progress, camera events,
// the release event) never take that lock, so a callback arriving during a driver call cannot
// deadlock. Read-only state is returned by value under the lock.
#pragma once

#include "camera/Options.h"
#include "sdk/sdk.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace camera {

class CanonDriver {
public:
    CanonDriver(const CanonDriver&) = delete;
    CanonDriver& operator=(const CanonDriver&) = delete;

    std::vector<std::string> GetDevices();
    // True only when a camera is open afterwards.
    bool Connect(const std::string& deviceName, sdk::EventCallback cameraEvent);
    void Disconnect();

    // False when the release or a transfer call failed (capture session: when Capture failed).
    bool TakePicture(const std::string& path, sdk::ProgressCallback progress);
    void EnableViewfinder(sdk::FrameCallback frame);
    void DisableViewfinder();

    void SetAFLock(bool lock);
    std::uint32_t GetZoomPos();
    void SetZoomPos(std::uint32_t position);

    // Label of the current value, empty when it is not listed.
    std::string GetShootingMode();
    std::string GetAV();
    std::string GetTV();
    std::string GetExposure();
    std::string GetWhiteBalance();
    std::string GetAFDistance();
    std::string GetFlash();
    std::string GetMeter();
    std::string GetISO();
    std::string GetEffect();
    std::string GetImageSize();
    std::string GetImageQuality();

    std::uint32_t GetShootingModeCode();
    std::uint32_t GetAVCode();
    std::uint32_t GetTVCode();
    std::uint32_t GetExposureCode();
    std::uint32_t GetWhiteBalanceCode();
    std::uint32_t GetAFDistanceCode();
    std::uint32_t GetFlashCode();
    std::uint32_t GetMeterCode();
    std::uint32_t GetISOCode();
    std::uint32_t GetEffectCode();
    std::uint32_t GetImageSizeCode();
    std::uint32_t GetImageQualityCode();

    // False when the label is not listed (no SDK call, nothing logged) or the SDK refused it.
    bool SetShootingMode(const std::string& label);
    bool SetAV(const std::string& label);
    bool SetTV(const std::string& label);
    bool SetExposure(const std::string& label);
    bool SetWhiteBalance(const std::string& label);
    bool SetAFDistance(const std::string& label);
    bool SetFlash(const std::string& label);
    bool SetMeter(const std::string& label);
    bool SetISO(const std::string& label);
    bool SetEffect(const std::string& label);
    bool SetImageSize(const std::string& label);
    bool SetImageQuality(const std::string& label);

    // Re-enumerations (each empties its list first); Connect runs them all.
    void GetProperties();
    void GetImageSizes();
    void GetImageQualities();
    void GetShootingModes();
    void GetAVModes();
    void GetTVModes();
    void GetExposures();
    void GetWBValues();
    void GetAFDistances();
    void GetFlashModes();
    void GetOtherModes();
    void GetZoomLimits();

    // True when result is a failure; logs the step and the error's text.
    bool ReportError(sdk::Result result, const std::string& step);

    // Read-only state, copied under the lock.
    sdk::Handle sourceHandle() const;
    bool isOpen() const { return sourceHandle() != 0; }
    CameraProperties properties() const;
    std::uint32_t maxZoomPos() const;
    std::uint32_t zoomFirst() const;
    std::vector<ImageSizeOption> imageSizes() const;
    std::vector<SettingOption> shootingModes() const;
    std::vector<SettingOption> avModes() const;
    std::vector<SettingOption> tvModes() const;
    std::vector<SettingOption> exposures() const;
    std::vector<SettingOption> wbValues() const;
    std::vector<SettingOption> afDistances() const;
    std::vector<SettingOption> flashModes() const;
    std::vector<SettingOption> meterModes() const;
    std::vector<SettingOption> isoModes() const;
    std::vector<SettingOption> effects() const;

    const sdk::Api& api() const { return api_; }

protected:
    // className names the steps of construction and destruction ("CanonSDK::CDStartSDK").
    CanonDriver(const sdk::Api& api, std::string className, std::uint16_t majorVersion,
                LogCallback log);
    ~CanonDriver();

private:
    // (implementation details are free; keep the public surface above stable)
    struct Impl;
    friend struct Impl;

protected:
    const sdk::Api& api_;
    const std::string className_;
    LogCallback log_;
    mutable std::recursive_mutex lock_;   // guards every field below and serialises SDK calls
    // ... fields as the implementation needs them
};

}  // namespace camera
