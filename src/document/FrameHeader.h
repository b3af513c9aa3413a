// The viewfinder frame check now lives beside the SDK's frame constants, in sdk/FrameHeader.h;
// this name is kept for the frame-header fuzz target until it includes that header itself.
#pragma once

#include "sdk/FrameHeader.h"

using sdk::IsViewfinderFrame;
