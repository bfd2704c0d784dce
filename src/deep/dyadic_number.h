#pragma once
#include <cstdint>
#include <vector>

namespace qarn::deep {

// An exact binary number, (-1)^negative x magnitude x 2^exponent, with the
// magnitude in little-endian 64-bit limbs (no limbs: zero). Deep views keep
// their centres in this form so that no digit of a location is lost between
// the text a user gives, the reference orbit and the text --info prints.
// Kept normalised, so that equal values compare equal: no high zero limbs, an
// odd magnitude, and zero as no limbs, positive, with exponent 0.
struct DyadicNumber {
    bool negative = false;
    std::vector<std::uint64_t> magnitude;
    std::int64_t exponent = 0;

    friend bool operator==(const DyadicNumber&, const DyadicNumber&) = default;
};

}  // namespace qarn::deep
