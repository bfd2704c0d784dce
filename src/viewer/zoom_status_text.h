#pragma once
#include <array>
#include <cstddef>

namespace qarn {

// One buffer yields three status texts: the whole of it during automatic
// zoom, the part from OrdinaryStart for any other zoom, and the part from
// LevelStart for the level alone.
class ZoomStatusText {
public:
    static constexpr std::size_t OrdinaryStart = 5;  // "Zooming In  to Level 07..."
    static constexpr std::size_t LevelStart = 20;    // "Level 07 of 56"

    ZoomStatusText();

    void SetDirection(const char16_t (&field)[5]);  // "In  ", "Out " or four spaces
    void SetLevel(int level);                       // two digits, leading zero
    void ShowComputing();                           // tail "..." and the end of the text
    void ShowFinished();                            // tail " of " again

    const char16_t* Whole() const { return text_.data(); }
    const char16_t* Ordinary() const { return text_.data() + OrdinaryStart; }
    const char16_t* LevelText() const { return text_.data() + LevelStart; }

private:
    std::array<char16_t, 35> text_{};
};

}  // namespace qarn
