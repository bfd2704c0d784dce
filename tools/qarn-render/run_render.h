#pragma once

namespace qarn::render {

// The whole program: parses the command line (UTF-8 arguments), makes the
// plan and runs it. Returns the exit code: 0 written, 1 usage error, 2 the
// view was refused, 3 an output could not be written.
int RunRender(int argc, const char* const* argv);

}  // namespace qarn::render
