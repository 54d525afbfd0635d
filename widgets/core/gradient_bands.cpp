#include "widgets/core/gradient_bands.h"

#include <algorithm>
#include <cstdlib>

namespace salvora::widgets {

namespace {

struct Differences {
    int red, green, blue, steps;
};

Differences differencesOf(Rgb start, Rgb end) {
    Differences d{end.red - start.red, end.green - start.green, end.blue - start.blue, 0};
    d.steps = std::max({std::abs(d.red), std::abs(d.green), std::abs(d.blue)});
    if (d.steps == 0) {
        // Equal colours: the gradient runs over the start colour's own values.
        d = {start.red, start.green, start.blue, std::max({start.red, start.green, start.blue})};
        if (d.steps == 0)
            d.steps = 255;
    }
    return d;
}

// start + step x difference / steps, cut to a whole number, low 8 bits kept.
// Exact integer arithmetic, so no band gets a colour one off by rounding.
uint8_t channelAt(int start, int difference, int step, int steps) {
    const int64_t scaled = static_cast<int64_t>(start) * steps + static_cast<int64_t>(step) * difference;
    return static_cast<uint8_t>((scaled / steps) & 0xFF);
}

// Edge of band `step`: step x extent / steps, cut to a whole pixel.
int edgeAt(int step, int extent, int steps) {
    return static_cast<int>(static_cast<int64_t>(step) * extent / steps);
}

}  // namespace

bool showsGradient(int lower, int upper, int position) {
    return upper > 0 && lower < position && position <= upper;
}

int filledLength(int position, int upper, int extent) {
    if (upper <= 0)
        return 0;
    return static_cast<int>(static_cast<int64_t>(position) * extent / upper);
}

int gradientSteps(Rgb start, Rgb end) {
    return differencesOf(start, end).steps;
}

GradientPlan planGradient(Rgb start, Rgb end, int extent, int filled) {
    GradientPlan plan;
    if (extent <= 0)
        return plan;
    const Differences d = differencesOf(start, end);
    for (int step = 0; step < d.steps; ++step) {
        GradientBand band;
        band.from = edgeAt(step, extent, d.steps);
        band.to = edgeAt(step + 1, extent, d.steps);
        band.colour = {channelAt(start.red, d.red, step, d.steps),
                       channelAt(start.green, d.green, step, d.steps),
                       channelAt(start.blue, d.blue, step, d.steps)};
        plan.bands.push_back(band);
        if (band.to > filled) {
            if (band.to < extent)
                plan.backgroundFrom = band.to;
            break;
        }
    }
    return plan;
}

}  // namespace salvora::widgets
