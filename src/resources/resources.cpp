// Pulls the compiled-in resources into any program that links this library.
#include <QtCore/qglobal.h>

void kestrelInitResources()
{
    // Q_INIT_RESOURCE must be called from a function outside any namespace.
    // It is added once the .qrc exists.
}
