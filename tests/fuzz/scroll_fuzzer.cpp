// Arbitrary views (any 80-bit values, damaged ones included) scrolled by
// arbitrary amounts, and strip passes of arbitrary counts: nothing may be
// read or written outside the buffer, and every count stays within depth.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/extended_real.h"
#include "engine/scroll.h"
#include "engine/view_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto* engine = new qarn::ViewEngine(2);
    if (size < 31) return 0;
    qarn::ViewState& view = engine->view;
    view.OriginRe = qarn::FromImage(data);
    view.OriginIm = qarn::FromImage(data + 10);
    view.PixelStep = qarn::FromImage(data + 20);
    view.Depth = 1 + data[30] % 16;
    data += 31;
    size -= 31;
    for (; size >= 5; data += 5, size -= 5) {
        std::int16_t first = 0;
        std::int16_t second = 0;
        std::memcpy(&first, data + 1, 2);
        std::memcpy(&second, data + 3, 2);
        switch (data[0] % 3) {
        case 0: qarn::ScrollView(*engine, first, second); break;
        case 1: qarn::ComputeRows(*engine, first); break;
        default: qarn::ComputeColumns(*engine, second); break;
        }
    }
    for (std::uint32_t count : engine->counts)
        if (count > 16) std::abort();
    return 0;
}
