#pragma once
#include <string>

#include "engine/view_state.h"

namespace qarn::render {

// Reads a whole text as a real, rounded correctly to the nearest 80-bit
// value: "-0.75", "1e-3", "0x1p-60", "inf", "nan". False for anything else.
bool ParseReal(const std::string& text, long double& value);

// 21 significant digits: read back with ParseReal, the same 80-bit value.
std::string FormatReal(long double value);

// The view as `key: value` lines: origin, centre, level, step, depth,
// palette, shift.
std::string ViewInfo(const ViewState& view);

}  // namespace qarn::render
