// What the backend reads off the files and event texts a camera sends: the base name that
// pairs RAW and JPEG, how many files a release gives, and which widget an event says changed
// (a file's kind and saved extension are sdk/FileKind.h's). Pure functions; no libgphoto2 call.
#pragma once

#include "sdk/FileKind.h"

#include <cstddef>
#include <string>

namespace gphoto {

using sdk::PrintableName;
using sdk::SavedExtension;

// The name without its extension, which RAW and JPEG of one picture share ("IMG_0412").
std::string BaseName(const std::string& cameraName);

// How many files one release gives with this image format or quality text: 2 for RAW and a
// JPEG together ("RAW + Large Fine JPEG", "RAW+JPEG", "cRAW + L"), else 1.
std::size_t FilesPerRelease(const std::string& formatText);

// The widget a property-change event names: `PTP Property d101 changed, "aperture" to "5.6"`
// -> "aperture"; and the value after " to " -> "5.6". False when the text names none.
bool ChangedWidget(const std::string& eventText, std::string& widget, std::string& value);

}   // namespace gphoto
