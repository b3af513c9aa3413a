// Access to the compiled-in resources: registering them (safe to call more than once) and the
// application icon (resource 130) in all its sizes.
#pragma once

#include <QIcon>

void kestrelInitResources();
QIcon kestrelAppIcon();
