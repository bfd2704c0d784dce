#include "processor_time.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <ctime>
#endif

namespace qarn::render {

#if defined(_WIN32)
double ProcessorSeconds() {
    FILETIME creation{};
    FILETIME exit{};
    FILETIME kernel{};
    FILETIME user{};
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user)) return 0.0;
    // Each a count of 100 ns in two 32-bit halves.
    auto ticks = [](const FILETIME& time) {
        return static_cast<unsigned long long>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) * 1e-7;
}
#else
double ProcessorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}
#endif

}  // namespace qarn::render
