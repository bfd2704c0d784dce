#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "deep/dyadic_number.h"
#include "deep/reference_orbit.h"

namespace qarn::deep {

// A reference orbit kept in a file, so that the processes of one zoom video
// (the tasks of a job array, the jobs of GNU parallel) share one orbit
// instead of each computing it. The layout is fixed, little-endian and the
// same on every machine:
//
//   8 bytes  magic "QARNORB\x1a"
//   u32      version (1)
//   u32      depth the orbit was computed for
//   i64      precision in bits
//   u32      length M (the last point, Z_M)
//   u32      1 if Z_M escaped, else 0
//   centre   re, then im: u8 sign (1 negative), i64 exponent, u32 limbs n,
//            n u64 limbs, least significant first (the exact centre C)
//   10 bytes offset of the orbit's point from C, real part (x87 image)
//   10 bytes the same, imaginary part
//   i64      the offset's unit: it is (real, imaginary) 2^this
//   u32      T, the values with a part too small for the 80-bit form
//   T x 44 bytes  each: u32 m, then real and imaginary parts, each a
//            10-byte x87 image and an i64 exponent (the part is image 2^exponent)
//   (M + 1) x 20 bytes  Z_0 .. Z_M as rounded: real, imaginary (x87 images)
//   u64      CRC-64 (the XZ polynomial, ECMA-182 reflected) of every byte
//            before it
struct ReferenceRecord {
    DyadicNumber re;  // the view's centre
    DyadicNumber im;
    std::uint32_t depth = 0;
    ReferenceOrbit orbit;
};

inline constexpr std::uint32_t ReferenceFileVersion = 1;

std::vector<std::uint8_t> EncodeReferenceFile(const ReferenceRecord& record);

// The record a file's bytes hold, or a reason (one short phrase) why they
// hold none: not such a file, another version, cut short, checksum wrong, or
// values no orbit has. tailStart and period are found again from the points.
struct DecodedReference {
    ReferenceRecord record;
    std::string problem;  // empty: the record is good
};
DecodedReference DecodeReferenceFile(std::span<const std::uint8_t> bytes);

// Whether a record serves a run about the centre (re, im) to `depth` that
// needs `precision` bits: the same centre, at least that depth and
// precision. Returns an empty string, or why not.
std::string ReferenceMismatch(const ReferenceRecord& record, const DyadicNumber& re, const DyadicNumber& im,
                              std::uint32_t depth, long precision);

// The orbit cut to a smaller depth: Z_0 .. Z_min(M, depth), as the same
// point's orbit computed to that depth at the same precision would be.
ReferenceOrbit OrbitToDepth(ReferenceOrbit orbit, std::uint32_t depth);

// CRC-64/XZ of bytes, continuing from `crc` (0 to start).
std::uint64_t Crc64(std::span<const std::uint8_t> bytes, std::uint64_t crc = 0);

}  // namespace qarn::deep
