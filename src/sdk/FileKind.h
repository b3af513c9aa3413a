// What kind of picture a camera file is, by its name (raw, JPEG or another), and the extension
// it is saved under: one rule for both backends and the document.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sdk {

enum class FileKind { Jpeg, Raw, Other };

// By the name's extension, in any case: jpg, jpeg and jpe are JPEG; the makers' raw formats
// (cr2, cr3, crw, nef, nrw, arw, srf, sr2, raf, dng, orf, rw2, pef, srw, raw) are raw; anything
// else, a name without an extension included, is Other.
FileKind FileKindOf(std::string_view cameraName);

// The extension a camera file is saved under, by its name and MIME type, never by the order it
// came in: "jpg" for a JPEG (IMG_0001.JPG, .jpeg, or image/jpeg without an extension), else
// the file's own extension in lower case ("cr2", "nef"); "raw" when it has none that is safe
// (1 to 5 letters and digits).
std::string SavedExtension(std::string_view cameraName, std::string_view mimeType = {});

// Whether a camera's image format or quality text names a raw file ("RAW + Large Fine JPEG",
// "cRAW", "NEF (Raw)"): it holds "raw" or a raw format's extension, in any case.
bool NamesRaw(std::string_view formatText);

// A camera text fit for one console line: control characters become '?', at most limit bytes.
std::string PrintableName(std::string_view text, std::size_t limit = 64);

}   // namespace sdk
