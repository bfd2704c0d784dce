// Arbitrary gradient files: the parser either refuses them with a line of
// text or gives stops from 0 to 1 that never decrease, and colouring with
// them stays within the table of stops.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "colour/gradient.h"
#include "colour/smooth_colour.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qarn::Gradient gradient;
    const std::string error = qarn::ParseGradient({reinterpret_cast<const char*>(data), size}, gradient);
    if (!error.empty()) {
        if (!gradient.stops.empty() || error.find('\n') != std::string::npos) std::abort();
        return 0;
    }
    if (gradient.stops.empty() || gradient.stops.size() > qarn::MaxGradientStops) std::abort();
    double last = 0.0;
    for (const qarn::GradientStop& stop : gradient.stops) {
        if (!(stop.position >= last && stop.position <= 1.0) || stop.colour > 0xFFFFFFu) std::abort();
        last = stop.position;
    }
    const qarn::PointColours colours(qarn::ViewState{}, {.smooth = true, .gradient = &gradient, .period = 3.0});
    for (double t : {0.0, 0.25, 0.5, std::nextafter(1.0, 0.0), last, gradient.stops.front().position})
        if (t < 1.0 && colours.GradientColour(t) > 0xFFFFFFu) std::abort();
    return 0;
}
