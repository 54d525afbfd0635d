// Which picture an image button of the card protection window shows. Such a
// button has up to three image sets (the Lock button: set 1 "Lock", set 2
// "Unlock"), each with a normal, a pressed, a hover and a disabled picture,
// a selected flag (the chosen card type, or the action whose panel is open)
// and a disabled-look flag set together with disabling the button window.
#pragma once

#include <array>
#include <cstddef>

namespace salvora::cardprotect {

constexpr int kImageSets = 3;

enum class CardImage { kNormal = 0, kPressed = 1, kHover = 2, kDisabled = 3 };

struct CardButtonState {
    int imageSet = 1;             // 1..3, chosen by the window
    bool selected = false;        // shows the pressed picture of the set
    bool disabledLook = false;    // shows the disabled picture of the set
    bool windowDisabled = false;  // the button window itself is disabled
    bool pressed = false;         // the mouse or the keyboard holds it down now
    bool hovering = false;        // the mouse rests over it
};

// Which pictures each set holds: loaded[set - 1][image].
using LoadedImages = std::array<std::array<bool, 4>, kImageSets>;

struct CardFace {
    int imageSet = 1;
    CardImage image = CardImage::kNormal;
    bool shiftPressed = false;  // no pressed picture: the normal one drawn one pixel down and right
    bool none = false;          // the set has no picture at all: draw nothing of its own
};

// The picture to draw. A disabled look wins over everything, then the
// selected flag and a press, then hovering. A set that was never loaded falls
// back to set 1; a missing picture falls back to the normal one of its set.
CardFace chooseCardFace(const CardButtonState& state, const LoadedImages& loaded);

}  // namespace salvora::cardprotect
