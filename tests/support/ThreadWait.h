#pragma once
// How long a GUI test waits for work handed over by another thread. The wait ends as soon as
// the condition holds; the bound only has to outlast a slow sanitizer build on a busy machine.
inline constexpr int kThreadWaitMs = 30000;
