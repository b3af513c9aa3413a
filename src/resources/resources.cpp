// Pulls the compiled-in resources into any program that links this library.
#include "resources/Resources.h"

#include <mutex>

void kestrelInitResources() {
    // Q_INIT_RESOURCE must be called from a function outside any namespace.
    static std::once_flag once;
    std::call_once(once, [] { Q_INIT_RESOURCE(kestrel); });
}

QIcon kestrelAppIcon() {
    kestrelInitResources();
    QIcon icon;
    for (int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/kestrel/icon130/kestrel-%1.png").arg(size),
                     QSize(size, size));
    return icon;
}
