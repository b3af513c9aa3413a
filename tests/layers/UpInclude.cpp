// Not part of any program: a file of the document layer that includes a pane. The build must
// refuse it (the document layer does not see views/); the test layers.up_include_refused checks.
#include "views/CViewInfo.h"
