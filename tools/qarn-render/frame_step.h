#pragma once
#include <cstdint>
#include <string>

namespace qarn::render {

// The step of zoom frame `frame` of `frames` (0 < frames, 0 <= frame <=
// frames) zooming from the start-up step 2^-7 to a view's step s:
// 2^-7 x (s / 2^-7)^(frame / frames), computed in integer arithmetic alone,
// so that every machine and library gives the same 80 bits.
//
// - Where s = 2^-(7+L) (every view the viewer makes, L its level), the
//   result is the 80-bit value nearest to the exact real 2^-(7 + L x frame /
//   frames), proved in frame_step.cpp; exactly the power of two where
//   L x frame / frames is whole.
// - Any other positive normal s: 2^-7 x 2^(x) with x = frame / frames x
//   log2(s / 2^-7), from ln 2 and ln of s's significand to 192 bits, within
//   2^-150 relative of the exact value before the one rounding to 64 bits
//   (round half up of the 192-bit value). That is the nearest value too
//   unless the exact one lies within 2^-150 of a midpoint.
// - A step that is not a positive normal number (zero, negative, subnormal,
//   infinite, NaN: a damaged file) zooms nowhere: the start-up step 2^-7.
// The last frame, frame == frames, gives s itself.
long double FrameStep(long double step, int frame, int frames);

// A positive binary number significand / 2^63 x 2^exponent (the
// significand's top bit set) whose exponent may lie outside the 80-bit
// range: the step of a frame zooming into a view of any level.
struct BinaryStep {
    std::uint64_t significand = 0;
    std::int64_t exponent = 0;
    // Whether it is at least 2^-(7+level).
    bool AtLeastLevel(std::int64_t level) const { return exponent >= -(7 + level); }
};

// The frame step of a view at any level L >= 0 (its step 2^-(7+L)): the
// 64-bit significand nearest to the exact real 2^-(7 + L x frame / frames),
// exactly the power of two where L x frame / frames is whole, frame ==
// frames giving 2^-(7+L) itself. Where the value lies in the 80-bit range
// (L up to 16375) it is FrameStep's own, bit for bit. Needs 7 frames +
// L frame below 2^63.
BinaryStep LevelFrameStep(std::int64_t level, int frame, int frames);

// The 80-bit value of a step within the format's normal range.
long double ExtendedOf(BinaryStep step);

// The whole level nearest to a positive normal step's, round(-log2(step) - 7)
// (no step lies half-way: sqrt 2 is irrational); 0 for any other step.
std::int64_t NearestLevel(long double step);
std::int64_t NearestLevel(BinaryStep step);

// The step exactly, in hexadecimal: "0x1p-97", "0x1.6a09e667f3bcc908p-90".
std::string StepText(BinaryStep step);

}  // namespace qarn::render
