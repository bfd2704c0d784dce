// The reference orbit's file: its checksum against the published check
// value, the round trip of a computed orbit, and refusals of damaged and
// mismatched files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "deep/dyadic_text.h"
#include "deep/reference_file.h"

namespace qarn::deep {
namespace {

TEST(ReferenceFile, Crc64IsTheXzCheck) {
    const char* text = "123456789";
    const std::vector<std::uint8_t> bytes(text, text + 9);
    EXPECT_EQ(Crc64(bytes), 0x995DC9BBDF1939FAu);  // CRC-64/XZ's check value
    // In two pieces, the same.
    EXPECT_EQ(Crc64(std::span(bytes).subspan(4), Crc64(std::span(bytes).first(4))), 0x995DC9BBDF1939FAu);
}

struct Orbits {
    DyadicNumber re = *ReadDyadic("-0.743643887037158704752191506114774", 7 + 90 + 64);
    DyadicNumber im = *ReadDyadic("0.131825904205311970493132056385139", 7 + 90 + 64);
};

bool SameOrbit(const ReferenceOrbit& a, const ReferenceOrbit& b) {
    if (a.points.size() != b.points.size()) return false;
    for (std::size_t m = 0; m < a.points.size(); ++m)
        if (std::memcmp(&a.points[m].re, &b.points[m].re, 10) != 0 ||
            std::memcmp(&a.points[m].im, &b.points[m].im, 10) != 0)
            return false;
    return a.length == b.length && a.escaped == b.escaped && a.precision == b.precision && a.tailStart == b.tailStart &&
           a.period == b.period && a.offsetRe == b.offsetRe && a.offsetIm == b.offsetIm &&
           a.offsetExponent == b.offsetExponent && a.tiny.size() == b.tiny.size() &&
           std::equal(a.tiny.begin(), a.tiny.end(), b.tiny.begin(), [](const auto& x, const auto& y) {
               return x.m == y.m && x.re.m == y.re.m && x.re.e == y.re.e && x.im.m == y.im.m && x.im.e == y.im.e;
           });
}

TEST(ReferenceFile, RoundTripAndDepthCut) {
    const Orbits o;
    // The seahorse point lasts the depth; a point beside it escapes; c = -1
    // repeats with period 2; 2^-9000 beside it, every other value is too
    // small for the 80-bit form.
    const struct {
        const DyadicNumber re, im;
        long double offRe, offIm;
        std::uint32_t depth;
        long precision = 300;
        std::int64_t exponent = 0;
    } rows[] = {{o.re, o.im, 0x1p-95L, -0x1p-96L, 3000},
                {o.re, o.im, 0x1p-20L, 0.0L, 3000},
                {*ReadDyadic("-1", 64), *ReadDyadic("0", 64), 0.0L, 0.0L, 200},
                {*ReadDyadic("-1", 64), *ReadDyadic("0", 64), 1.0L, 0.0L, 200, 9300, -9000}};
    for (const auto& row : rows) {
        const long precision = row.precision;
        const ReferenceOrbit orbit = ComputeReferenceOrbit(row.re, row.im, row.offRe, row.offIm, row.depth, precision,
                                                           {}, row.exponent);
        EXPECT_EQ(orbit.tiny.size(), row.exponent != 0 ? 100u : 0u);
        const std::vector<std::uint8_t> bytes = EncodeReferenceFile({row.re, row.im, row.depth, orbit});
        EXPECT_EQ(bytes, EncodeReferenceFile({row.re, row.im, row.depth, orbit})) << "the same bytes every time";
        const DecodedReference decoded = DecodeReferenceFile(bytes);
        ASSERT_EQ(decoded.problem, "");
        EXPECT_TRUE(SameOrbit(decoded.record.orbit, orbit));
        EXPECT_EQ(decoded.record.re, row.re);
        EXPECT_EQ(decoded.record.im, row.im);
        EXPECT_EQ(decoded.record.depth, row.depth);
        EXPECT_EQ(ReferenceMismatch(decoded.record, row.re, row.im, row.depth, precision), "");
        // Cut to a smaller depth: the orbit computed to that depth.
        for (const std::uint32_t depth : {row.depth / 2, row.depth / 7, std::uint32_t{3}})
            EXPECT_TRUE(SameOrbit(OrbitToDepth(decoded.record.orbit, depth),
                                  ComputeReferenceOrbit(row.re, row.im, row.offRe, row.offIm, depth, precision, {},
                                                        row.exponent)))
                << depth;
    }
}

TEST(ReferenceFile, DamagedAndMismatchedFilesAreRefused) {
    const Orbits o;
    const ReferenceOrbit orbit = ComputeReferenceOrbit(o.re, o.im, 0.0L, 0.0L, 500, 300);
    const ReferenceRecord record{o.re, o.im, 500, orbit};
    const std::vector<std::uint8_t> good = EncodeReferenceFile(record);
    std::vector<std::vector<std::uint8_t>> damaged;
    for (const std::size_t size : {std::size_t{0}, std::size_t{7}, std::size_t{30}, good.size() / 2, good.size() - 1})
        damaged.emplace_back(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
    for (const std::size_t at : {std::size_t{0}, std::size_t{8}, std::size_t{20}, good.size() / 2, good.size() - 1}) {
        damaged.push_back(good);
        damaged.back()[at] ^= 0x10;
    }
    damaged.push_back(good);
    damaged.back().push_back(0);
    for (std::size_t k = 0; k < damaged.size(); ++k) EXPECT_NE(DecodeReferenceFile(damaged[k]).problem, "") << k;

    // A good checksum over values that no orbit has (here Z_0 != 0).
    ReferenceRecord odd = record;
    odd.orbit.points[0].re = 1.0L;
    EXPECT_NE(DecodeReferenceFile(EncodeReferenceFile(odd)).problem, "");

    const DyadicNumber other = *ReadDyadic("-0.7436438870371587", 7 + 90 + 64);
    EXPECT_NE(ReferenceMismatch(record, other, o.im, 500, 300), "") << "another centre";
    EXPECT_NE(ReferenceMismatch(record, o.re, o.re, 500, 300), "") << "another centre";
    EXPECT_NE(ReferenceMismatch(record, o.re, o.im, 501, 300), "") << "a deeper run";
    EXPECT_NE(ReferenceMismatch(record, o.re, o.im, 500, 301), "") << "a finer run";
    EXPECT_EQ(ReferenceMismatch(record, o.re, o.im, 400, 200), "") << "less is served";
}

}  // namespace
}  // namespace qarn::deep
