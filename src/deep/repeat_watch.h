#pragma once
#include <algorithm>
#include <cstdint>

namespace qarn::deep {

// How the deep loops prove that a point stays: its state repeats exactly,
// so the loop would run on to the depth. Two watches, each saving a state on
// a doubling schedule: the difference just after the 1st, 2nd, 4th, ...
// rebase (seen again just after a later rebase, everything that follows
// repeats); and, where the orbit's rounded values repeat with `period` from
// `tail` to the end of the depth, a state (m, d) saved after tests 1, 2, 4,
// ... that comes back as (m + j period, d). Real is the type of the
// difference's parts, compared exactly.
template <class Real>
class RepeatWatch {
public:
    // tail UINT32_MAX: no repeating tail.
    RepeatWatch(std::uint32_t tail, std::uint32_t period) : tail_(tail), period_(period) {}

    // Just after the `rebases`-th rebase, to d: whether d repeats.
    bool Rebased(const Real& re, const Real& im, std::uint64_t rebases) {
        if (saved_ && re == savedRe_ && im == savedIm_) return true;
        if (rebases == nextSave_) {
            savedRe_ = re;
            savedIm_ = im;
            saved_ = true;
            nextSave_ *= 2;
        }
        return false;
    }

    // At the `tests`-th test, at m with d: whether (m, d) repeats a mark.
    bool Marked(std::uint32_t m, const Real& re, const Real& im, std::uint64_t tests) {
        if (m < tail_) return false;
        if (re == markRe_ && im == markIm_ && m >= markM_ && (m - markM_) % period_ == 0) return true;
        if (tests >= nextMark_) {
            markM_ = m;
            markRe_ = re;
            markIm_ = im;
            nextMark_ *= 2;
        }
        return false;
    }

    // How many iterations from m, after `tests` tests, may run without a
    // test at which Marked could save or match (each iteration one test and
    // at least one m on).
    std::uint64_t QuietFor(std::uint32_t m, std::uint64_t tests) const {
        if (m < tail_) return tail_ == UINT32_MAX ? UINT64_MAX : tail_ - m;
        std::uint64_t quiet = TestsBeforeMark(tests);
        if (m < markM_) {
            if (markM_ != UINT32_MAX) quiet = std::min<std::uint64_t>(quiet, markM_ - m);
        } else {
            const std::uint32_t r = (m - markM_) % period_;
            quiet = r == 0 ? 0 : std::min<std::uint64_t>(quiet, period_ - r);
        }
        return quiet;
    }

    // The tests after `tests` before Marked saves its next mark, and the m
    // of the mark saved (UINT32_MAX: none yet). Between them Marked can
    // match only at m a whole number of periods past that one.
    std::uint64_t TestsBeforeMark(std::uint64_t tests) const { return nextMark_ > tests ? nextMark_ - tests - 1 : 0; }
    std::uint32_t MarkM() const { return markM_; }
    // The d of the mark saved: Marked matches only a d equal to it.
    const Real& MarkRe() const { return markRe_; }
    const Real& MarkIm() const { return markIm_; }
    // The test at which Marked saves its next mark.
    std::uint64_t NextMark() const { return nextMark_; }
    // Marks that Marked would have saved, saved by a kernel on its own: the
    // last one, at m with d, and the test of the next save.
    void Saved(std::uint32_t m, const Real& re, const Real& im, std::uint64_t nextMark) {
        markM_ = m;
        markRe_ = re;
        markIm_ = im;
        nextMark_ = nextMark;
    }

private:
    std::uint64_t nextSave_ = 1;
    Real savedRe_{}, savedIm_{};
    bool saved_ = false;
    std::uint32_t tail_, period_;
    std::uint64_t nextMark_ = 1;
    std::uint32_t markM_ = UINT32_MAX;
    Real markRe_{}, markIm_{};
};

}  // namespace qarn::deep
