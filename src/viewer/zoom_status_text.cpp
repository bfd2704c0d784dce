#include "viewer/zoom_status_text.h"

#include <algorithm>

namespace qarn {
namespace {
constexpr char16_t Initial[] = u"Auto Zooming     to Level    of 56";
static_assert(sizeof(Initial) / sizeof(char16_t) == 35);
constexpr std::size_t DirectionAt = 13;
constexpr std::size_t DigitsAt = 26;
constexpr std::size_t TailAt = 28;
}  // namespace

ZoomStatusText::ZoomStatusText() { std::copy(std::begin(Initial), std::end(Initial), text_.begin()); }

void ZoomStatusText::SetDirection(const char16_t (&field)[5]) {
    std::copy(field, field + 4, text_.begin() + DirectionAt);
}

void ZoomStatusText::SetLevel(int level) {
    const int clamped = std::clamp(level, 0, 99);
    text_[DigitsAt] = static_cast<char16_t>(u'0' + clamped / 10);
    text_[DigitsAt + 1] = static_cast<char16_t>(u'0' + clamped % 10);
}

void ZoomStatusText::ShowComputing() {
    constexpr char16_t tail[] = u"...";
    std::copy(tail, tail + 4, text_.begin() + TailAt);  // with its terminating zero
}

void ZoomStatusText::ShowFinished() {
    constexpr char16_t tail[] = u" of ";
    std::copy(tail, tail + 4, text_.begin() + TailAt);
}

}  // namespace qarn
