#include "deep/reference_file.h"

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace qarn::deep {
namespace {

static_assert(std::numeric_limits<long double>::digits == 64, "long double must be the x87 80-bit format");

constexpr std::uint8_t Magic[8] = {'Q', 'A', 'R', 'N', 'O', 'R', 'B', 0x1a};

std::array<std::uint64_t, 256> Crc64Table() {
    std::array<std::uint64_t, 256> table{};
    constexpr std::uint64_t Polynomial = 0xC96C5795D7870F42u;  // ECMA-182, reflected
    for (std::uint64_t n = 0; n < 256; ++n) {
        std::uint64_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? (c >> 1) ^ Polynomial : c >> 1;
        table[n] = c;
    }
    return table;
}

struct Writer {
    std::vector<std::uint8_t> bytes;
    void Unsigned(std::uint64_t value, int size) {
        for (int k = 0; k < size; ++k) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * k)));
    }
    void Real(long double value) {
        std::uint8_t image[16] = {};
        std::memcpy(image, &value, 10);
        bytes.insert(bytes.end(), image, image + 10);
    }
    void Number(const DyadicNumber& n) {
        Unsigned(n.negative ? 1 : 0, 1);
        Unsigned(static_cast<std::uint64_t>(n.exponent), 8);
        Unsigned(n.magnitude.size(), 4);
        for (std::uint64_t limb : n.magnitude) Unsigned(limb, 8);
    }
};

struct Reader {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
    bool shortRead = false;
    bool Has(std::size_t size) {
        if (bytes.size() - at < size) shortRead = true;
        return !shortRead;
    }
    std::uint64_t Unsigned(int size) {
        if (!Has(static_cast<std::size_t>(size))) return 0;
        std::uint64_t value = 0;
        for (int k = 0; k < size; ++k) value |= std::uint64_t{bytes[at + static_cast<std::size_t>(k)]} << (8 * k);
        at += static_cast<std::size_t>(size);
        return value;
    }
    long double Real() {
        if (!Has(10)) return 0.0L;
        long double value = 0.0L;
        std::memcpy(&value, bytes.data() + at, 10);
        at += 10;
        return value;
    }
    // A number with at most `limit` limbs, or false.
    bool Number(DyadicNumber& n, std::uint64_t limit) {
        const std::uint64_t sign = Unsigned(1);
        n.exponent = static_cast<std::int64_t>(Unsigned(8));
        const std::uint64_t limbs = Unsigned(4);
        if (shortRead || sign > 1 || limbs > limit || !Has(limbs * 8)) return false;
        n.negative = sign == 1;
        n.magnitude.resize(limbs);
        for (std::uint64_t& limb : n.magnitude) limb = Unsigned(8);
        return true;
    }
};

bool Normalised(const DyadicNumber& n) {
    if (n.magnitude.empty()) return !n.negative && n.exponent == 0;
    return n.magnitude.back() != 0 && (n.magnitude.front() & 1) != 0;
}

// A finite value whose magnitude a rounded orbit value or offset can have
// (every orbit value before the last has |Z|^2 <= 4, the last is one step
// past it: far below 2^16).
bool Plausible(long double value) { return std::isfinite(value) && value < 0x1p16L && value > -0x1p16L; }

}  // namespace

std::uint64_t Crc64(std::span<const std::uint8_t> bytes, std::uint64_t crc) {
    static const std::array<std::uint64_t, 256> table = Crc64Table();
    crc = ~crc;
    for (std::uint8_t b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::vector<std::uint8_t> EncodeReferenceFile(const ReferenceRecord& record) {
    Writer w;
    const ReferenceOrbit& orbit = record.orbit;
    w.bytes.reserve(128 + 16 * (record.re.magnitude.size() + record.im.magnitude.size()) + 44 * orbit.tiny.size() +
                    20 * orbit.points.size());
    w.bytes.insert(w.bytes.end(), Magic, Magic + 8);
    w.Unsigned(ReferenceFileVersion, 4);
    w.Unsigned(record.depth, 4);
    w.Unsigned(static_cast<std::uint64_t>(orbit.precision), 8);
    w.Unsigned(orbit.length, 4);
    w.Unsigned(orbit.escaped ? 1 : 0, 4);
    w.Number(record.re);
    w.Number(record.im);
    w.Real(orbit.offsetRe);
    w.Real(orbit.offsetIm);
    w.Unsigned(static_cast<std::uint64_t>(orbit.offsetExponent), 8);
    w.Unsigned(orbit.tiny.size(), 4);
    for (const TinyOrbitPoint& t : orbit.tiny) {
        w.Unsigned(t.m, 4);
        for (const WideReal& part : {t.re, t.im}) {
            w.Real(part.m);
            w.Unsigned(static_cast<std::uint64_t>(part.e), 8);
        }
    }
    for (const OrbitPoint& z : orbit.points) {
        w.Real(z.re);
        w.Real(z.im);
    }
    w.Unsigned(Crc64(w.bytes), 8);
    return std::move(w.bytes);
}

DecodedReference DecodeReferenceFile(std::span<const std::uint8_t> bytes) {
    DecodedReference decoded;
    auto refuse = [&](const char* why) {
        decoded.record = {};
        decoded.problem = why;
        return decoded;
    };
    if (bytes.size() < 8 || std::memcmp(bytes.data(), Magic, 8) != 0) return refuse("not a reference orbit file");
    Reader r{bytes, 8};
    const std::uint64_t version = r.Unsigned(4);
    if (!r.shortRead && version != ReferenceFileVersion) return refuse("a reference orbit file of another version");
    ReferenceRecord& record = decoded.record;
    ReferenceOrbit& orbit = record.orbit;
    record.depth = static_cast<std::uint32_t>(r.Unsigned(4));
    orbit.precision = static_cast<long>(r.Unsigned(8));
    orbit.length = static_cast<std::uint32_t>(r.Unsigned(4));
    const std::uint64_t escaped = r.Unsigned(4);
    // A centre never needs more limbs than the file has bytes.
    const std::uint64_t limit = bytes.size() / 8;
    const bool numbers = r.Number(record.re, limit) && r.Number(record.im, limit);
    orbit.offsetRe = r.Real();
    orbit.offsetIm = r.Real();
    orbit.offsetExponent = static_cast<std::int64_t>(r.Unsigned(8));
    const std::uint64_t tiny = r.Unsigned(4);
    if (r.shortRead || !numbers || tiny > orbit.length || !r.Has(tiny * 44)) return refuse("cut short");
    orbit.tiny.resize(static_cast<std::size_t>(tiny));
    bool tinyPlausible = true;
    for (TinyOrbitPoint& t : orbit.tiny) {
        const std::uint32_t before = &t == orbit.tiny.data() ? 0 : (&t - 1)->m;
        t.m = static_cast<std::uint32_t>(r.Unsigned(4));
        for (WideReal* part : {&t.re, &t.im}) {
            const long double m = r.Real();
            *part = Wide(m, static_cast<std::int64_t>(r.Unsigned(8)));
            tinyPlausible = tinyPlausible && Plausible(m);
        }
        tinyPlausible = tinyPlausible && t.m > before && t.m <= orbit.length;
    }
    const std::uint64_t points = std::uint64_t{orbit.length} + 1;
    if (r.shortRead || !numbers || !r.Has(points * 20 + 8)) return refuse("cut short");
    if (bytes.size() - r.at != points * 20 + 8) return refuse("longer than its orbit");
    const std::uint64_t sum = Crc64(bytes.first(bytes.size() - 8));
    Reader tail{bytes, bytes.size() - 8};
    if (tail.Unsigned(8) != sum) return refuse("its checksum is wrong (damaged)");
    orbit.points.resize(static_cast<std::size_t>(points));
    for (OrbitPoint& z : orbit.points) {
        z.re = r.Real();
        z.im = r.Real();
    }
    orbit.escaped = escaped == 1;
    bool plausible = escaped <= 1 && orbit.length >= 1 && orbit.length <= record.depth && orbit.precision >= 64 &&
                     Normalised(record.re) && Normalised(record.im) && Plausible(orbit.offsetRe) &&
                     Plausible(orbit.offsetIm) && orbit.points[0].re == 0.0L && orbit.points[0].im == 0.0L &&
                     tinyPlausible;
    for (const OrbitPoint& z : orbit.points) plausible = plausible && Plausible(z.re) && Plausible(z.im);
    if (!plausible) return refuse("values that no reference orbit has");
    FindRepeatingTail(orbit);
    return decoded;
}

std::string ReferenceMismatch(const ReferenceRecord& record, const DyadicNumber& re, const DyadicNumber& im,
                              std::uint32_t depth, long precision) {
    if (!(record.re == re) || !(record.im == im)) return "made for another centre";
    if (record.depth < depth)
        return "made for depth " + std::to_string(record.depth) + ", below this run's " + std::to_string(depth);
    if (record.orbit.precision < precision)
        return "made at " + std::to_string(record.orbit.precision) + " bits, below the " + std::to_string(precision) +
               " this run needs";
    return {};
}

ReferenceOrbit OrbitToDepth(ReferenceOrbit orbit, std::uint32_t depth) {
    if (orbit.length <= depth) return orbit;
    orbit.length = depth;
    orbit.escaped = false;
    orbit.points.resize(static_cast<std::size_t>(depth) + 1);
    std::erase_if(orbit.tiny, [&](const TinyOrbitPoint& t) { return t.m > depth; });
    FindRepeatingTail(orbit);
    return orbit;
}

}  // namespace qarn::deep
