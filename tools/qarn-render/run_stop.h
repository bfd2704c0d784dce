#pragma once
#include <atomic>

namespace qarn::render {

// Set when the user asks the run to stop where it can stop cleanly: on
// Windows, by the console's Ctrl-C, Ctrl-Break or close, whose handler runs
// on a thread of its own and so cannot remove a file that another thread
// still holds open. The band renderer checks it between bands and ends the
// picture, whose files the writing thread then closes and removes.
inline std::atomic<bool> runStopRequested{false};

}  // namespace qarn::render
