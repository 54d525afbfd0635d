// The picture of the gradient progress bar, worked out without a window: how
// long the filled part is, which colour bands are drawn and where the plain
// background starts.
#pragma once

#include <cstdint>
#include <vector>

namespace salvora::widgets {

struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

// One band of the gradient: pixels [from, to) along the bar.
struct GradientBand {
    int from = 0;
    int to = 0;
    Rgb colour;
};

struct GradientPlan {
    std::vector<GradientBand> bands;  // in drawing order, from the start of the bar
    int backgroundFrom = -1;          // background from here to the end of the bar; -1 = none
};

// True when the bar shows the gradient: lower < position <= upper (and upper > 0).
// Otherwise the whole bar shows the button-face colour.
bool showsGradient(int lower, int upper, int position);

// The filled length of a bar `extent` pixels long at `position` of `upper`:
// position / upper x extent, cut to whole pixels.
int filledLength(int position, int upper, int extent);

// The number of bands from `start` to `end`: the largest channel difference;
// when the colours are equal, the largest channel of `start` (255 for black).
int gradientSteps(Rgb start, Rgb end);

// The bands drawn for a bar `extent` pixels long whose filled length is
// `filled`. The gradient spreads over the whole bar; bands are drawn up to
// and including the one that reaches past `filled`, and the background
// follows from that band's far edge.
GradientPlan planGradient(Rgb start, Rgb end, int extent, int filled);

}  // namespace salvora::widgets
