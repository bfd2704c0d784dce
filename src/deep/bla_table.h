#pragma once
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "deep/reference_orbit.h"

namespace qarn::deep {

// How much of the square term a skip may drop: a step of the bilinear
// approximation is taken only where the dropped terms stay below
// `epsilon` times the terms kept. Fine: the difference type's own rounding
// (2^-64); fast: 2^-26, near the 2^-24 other deep renderers use (at 2^-24
// 3 % of the points of a view near a minibrot at level 60 left their
// neighbourhood's range of counts in full precision; 1 % at 2^-26).
struct Tolerance {
    long double epsilon = 0x1p-64L;
};
inline constexpr Tolerance FineTolerance{0x1p-64L};
inline constexpr Tolerance FastTolerance{0x1p-26L};

// One skip of 2^k iterations from m: after it, d = A d + B dc, valid while
// |d| < R at m (the table keeps R^2, compared with |d|^2). Each value is the
// 10-byte image of its x87 real: 50 bytes a step.
struct BlaStep {
    std::uint8_t images[5][10];
    long double Get(int k) const {
        long double value;
#if defined(__x86_64__)
        // Straight from the image: a copy through memory would be written as
        // two integer stores and read back as one 80-bit load, which waits
        // for both (no store forwarding).
        asm("fldt %1" : "=t"(value) : "m"(*reinterpret_cast<const std::uint8_t(*)[10]>(images[k])));
#else
        std::memcpy(&value, images[k], 10);
#endif
        return value;
    }
    void Set(int k, long double value) { std::memcpy(images[k], &value, 10); }
    long double Ar() const { return Get(0); }
    long double Ai() const { return Get(1); }
    long double Br() const { return Get(2); }
    long double Bi() const { return Get(3); }
    long double R2() const { return Get(4); }
};
static_assert(sizeof(BlaStep) == 50);

// Where a level's steps lie, for the loop's kernel: the first, and how many
// there are (for the tail's levels: the step's length modulo the period,
// how far it moves the place within the period).
struct StepLevel {
    const BlaStep* steps;
    std::uint64_t size;
};

// The skips of 2^k iterations (k = MinLevel, MinLevel + 1, ...) starting at
// m = 1 + j 2^k and ending at most at the orbit's last point M. Memory:
// fewer than M / 2^(MinLevel - 1) steps of 50 bytes, 25 bytes an iteration.
class BlaTable {
public:
    static constexpr int MinLevel = 2;

    BlaTable() = default;
    // dcMax: an upper bound of |dc| over every point that will use it.
    BlaTable(const ReferenceOrbit& orbit, Tolerance tolerance, long double dcMax);
    // A copy indexes its own steps; a move keeps the buffers the index names.
    BlaTable(const BlaTable& other);
    BlaTable& operator=(const BlaTable& other);
    BlaTable(BlaTable&&) = default;
    BlaTable& operator=(BlaTable&&) = default;

    // The longest step valid at m for a difference of squared modulus d2,
    // or nullptr; its length in `length`. A step of 2^(k+1) from m is the
    // merge of the step of 2^k from m with the next one, so it exists only
    // where that one does and its radius is at most that one's (Merge takes
    // the minimum): the valid steps at m are the shortest few, and the search
    // goes up from the shortest, stopping at the first that fails (a longer
    // step's entry lies far off in memory).
    //
    // In the orbit's repeating tail every m is a start: the tail's steps are
    // kept for each place within one period (see below).
    const BlaStep* Longest(std::uint32_t m, long double d2, std::uint32_t& length) const {
        if (m >= tailStart_ && !tail_.empty()) return LongestInTail(m, d2, length);
        const std::uint32_t from = m - 1;
        if (m == 0 || (from & ((1u << MinLevel) - 1)) != 0) return nullptr;
        const int top = std::min(std::countr_zero(from | (1u << 31)), static_cast<int>(levels_.size()) + MinLevel - 1);
        const BlaStep* found = nullptr;
        for (int k = MinLevel; k <= top; ++k) {
            const std::vector<BlaStep>& level = levels_[static_cast<std::size_t>(k - MinLevel)];
            const std::uint32_t j = from >> k;
            if (j >= level.size() || !(d2 < level[j].R2())) break;
            found = &level[j];
            length = 1u << k;
        }
        return found;
    }

    // The steps of 2^(MinLevel + index) iterations, from m = 1 + j 2^(MinLevel + index).
    std::span<const BlaStep> Level(std::size_t index) const { return levels_[index]; }

    std::uint64_t Bytes() const;
    std::size_t Levels() const { return levels_.size(); }

    // Where the tail's steps serve (every m from here on is a start), or
    // UINT32_MAX where the table keeps none; the steps of 2^(MinLevel +
    // index) iterations from each place of one period.
    std::uint32_t TailStart() const { return tail_.empty() ? UINT32_MAX : tailStart_; }
    std::span<const BlaStep> Tail(std::size_t index) const { return tail_[index]; }
    std::size_t TailLevels() const { return tail_.size(); }
    std::uint32_t TailPeriod() const { return period_; }

    // The aligned levels and the tail's, shortest first, made once.
    std::span<const StepLevel> LevelIndex() const { return levelIndex_; }
    std::span<const StepLevel> TailIndex() const { return tailIndex_; }

private:
    // From tailStart on, Z_m = Z_{tailStart + (m - tailStart) mod period}
    // up to the orbit's end M, so a step's values depend only on where in
    // the period it starts: tail_[k - MinLevel][p] is the step of 2^k
    // iterations from any m = tailStart + p (mod period) that ends by M,
    // merged as the aligned ones are. A difference in the tail may then
    // skip from any m, and the steps it reads fill a few cache lines.
    const BlaStep* LongestInTail(std::uint32_t m, long double d2, std::uint32_t& length) const {
        if (m == 0) return nullptr;
        const std::uint32_t p = (m - tailStart_) % period_;
        const BlaStep* found = nullptr;
        for (std::size_t k = 0; k < tail_.size(); ++k) {
            const std::uint32_t steps = 1u << (k + MinLevel);
            if (steps > last_ - m || !(d2 < tail_[k][p].R2())) break;
            found = &tail_[k][p];
            length = steps;
        }
        return found;
    }

    std::vector<std::vector<BlaStep>> levels_;
    std::uint32_t tailStart_ = UINT32_MAX, period_ = 0, last_ = 0;
    std::vector<std::vector<BlaStep>> tail_;
    std::vector<StepLevel> levelIndex_, tailIndex_;
    void Index();
};

}  // namespace qarn::deep
