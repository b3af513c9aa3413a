// Moved to tests/support/ (the one test support library); kept so existing includes still build.
#pragma once
#include "support/DocumentFixture.h"
