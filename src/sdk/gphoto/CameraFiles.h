// What the backend reads off the files and event texts a camera sends: a file's kind and the
// extension it is saved under, the base name that pairs RAW and JPEG, how many files a release
// gives, and which widget an event says changed. Pure functions; no libgphoto2 call.
#pragma once

#include <cstddef>
#include <string>

namespace gphoto {

// The extension a camera file is saved under, by its name and MIME type, never by the order it
// came in: "jpg" for a JPEG (IMG_0001.JPG, .jpeg, or image/jpeg without an extension), else
// the file's own extension in lower case ("cr2", "nef"); "raw" when it has none that is safe
// (1 to 5 letters and digits).
std::string SavedExtension(const std::string& cameraName, const std::string& mimeType);
bool IsJpegName(const std::string& cameraName);

// The name without its extension, which RAW and JPEG of one picture share ("IMG_0412").
std::string BaseName(const std::string& cameraName);

// How many files one release gives with this image format or quality text: 2 for RAW and a
// JPEG together ("RAW + Large Fine JPEG", "RAW+JPEG", "cRAW + L"), else 1.
std::size_t FilesPerRelease(const std::string& formatText);

// The widget a property-change event names: `PTP Property d101 changed, "aperture" to "5.6"`
// -> "aperture"; and the value after " to " -> "5.6". False when the text names none.
bool ChangedWidget(const std::string& eventText, std::string& widget, std::string& value);

// A camera text fit for one console line: control characters become '?', at most limit bytes.
std::string PrintableName(const std::string& text, std::size_t limit = 64);

}   // namespace gphoto
