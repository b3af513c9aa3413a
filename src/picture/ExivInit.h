// Sets libexiv2 up once per process before the first use: the XMP parser initialised (its
// own documentation asks for that before threads use it) and its warnings kept off stderr.
#pragma once

namespace picture {
void EnsureExivReady();
}
