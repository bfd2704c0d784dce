#pragma once
#include <cstdint>

namespace qarn {

// x87 control word: 64-bit significand, round to nearest even, all
// exceptions masked. Every computing thread sets it for itself, because a
// thread may start at 53-bit precision (Windows threads made by CreateThread).
inline constexpr std::uint16_t ExtendedControlWord = 0x037F;

// True where long double arithmetic runs on the x87 unit.
inline constexpr bool HasX87 =
#if defined(__x86_64__) || defined(__i386__)
    true;
#else
    false;
#endif

inline void SetControlWord(std::uint16_t word) {
#if defined(__x86_64__) || defined(__i386__)
    __asm__ volatile("fldcw %0" : : "m"(word));
#else
    (void)word;
#endif
}

inline std::uint16_t ControlWord() {
#if defined(__x86_64__) || defined(__i386__)
    std::uint16_t word = 0;
    __asm__ volatile("fnstcw %0" : "=m"(word));
    return word;
#else
    return ExtendedControlWord;
#endif
}

// Puts the arithmetic into the mode every view computation relies on.
inline void SetArithmeticMode() { SetControlWord(ExtendedControlWord); }

}  // namespace qarn
