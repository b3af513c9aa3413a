// view.cfg: the View menu's choices (exposure aids, showing each new picture), kept beside config.cfg between runs as
// "key=value" lines. A missing, unreadable or garbled file means every aid is off. Any thread
// may call these; they share nothing.
#pragma once

#include <QString>

struct ViewOptions {
    bool highlightClipped = false;     // key "highlight_clipped", value 0 or 1
    bool thirdsGrid = false;           // key "thirds_grid", value 0 or 1
    bool focusPeaking = false;         // key "focus_peaking", value 0 or 1
    bool showNewPictures = false;      // key "show_new_pictures": each saved picture shown large
    bool advanceAfterRating = false;   // key "advance_after_rating": a rating steps on

    // The layout overlay over the live view (View > "Overlay...").
    enum class OverlaySource { None, File, LastCapture };
    OverlaySource overlaySource = OverlaySource::None;   // "overlay": none, file or ghost
    QString overlayFile;                                 // "overlay_file": a PNG or JPEG
    int overlayOpacity = 50;                             // "overlay_opacity": 0..100 %
    bool overlayFill = false;       // "overlay_fit": fit (whole picture) or fill (view covered)
    int overlayOffsetX = 0;         // "overlay_offset_x", "overlay_offset_y": -100..100 % of the
    int overlayOffsetY = 0;         //   view's width and height
    bool overlayOnReview = false;   // "overlay_review" 0/1: also over the Review tab's large view

    // The view file beside the given config.cfg path ("view.cfg" in the same folder).
    static QString PathBeside(const QString& configPath);
    // Reads path; unknown keys and values other than 0 and 1 are ignored (the default stays).
    // A fifo, a device or a link another user made is not read: error says why (else empty).
    static ViewOptions Load(const QString& path, QString* error = nullptr);
    // Writes through sdk::ReplaceSettingsFile (a random temporary renamed over path, every write
    // checked), so a failed save leaves the old file whole. False, with the reason in error, when
    // it could not be written.
    bool Save(const QString& path, QString& error) const;

    bool operator==(const ViewOptions&) const = default;
};
