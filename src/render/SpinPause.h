#pragma once

namespace orv {

// Called in a loop that waits for another thread to change a value: the processor backs off
// a little instead of filling its pipeline with loads that will be thrown away.
inline void spinPause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

}  // namespace orv
