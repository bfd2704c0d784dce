#pragma once

namespace qarn::render {

// The processor time the whole process has used so far, every thread's, in
// user and system mode, in seconds: what --stats reports. (std::clock gives
// it on Linux, but the wall time since the start on Windows.)
double ProcessorSeconds();

}  // namespace qarn::render
