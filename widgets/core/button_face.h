// Which of its prepared pictures an image button shows, decided from its
// state without a window.
#pragma once

namespace salvora::widgets {

enum class ButtonFace {
    kStandard,
    kStandardPressed,
    kStandardHot,
    kAlternate,
    kAlternatePressed,
    kAlternateHot,
    kDisabled,
};

// The state of an image button that the choice depends on.
struct ButtonLook {
    bool disabled = false;       // shows the disabled picture
    bool isToggle = false;       // each press flips `toggled`
    bool toggled = false;        // selects the alternate picture set
    bool haveAlternate = false;  // an alternate picture set exists
    bool hovering = false;       // the mouse rests over the button
};

// A press of the button begins (mouse or keyboard): a toggle button flips
// `toggled`. A disabled button ignores it.
void notePress(ButtonLook& look);

// The picture for a draw in which the button is `pressed` (or not). A
// disabled button always shows the disabled picture. Without an alternate
// set, a toggled button shows the standard pictures.
ButtonFace chooseFace(const ButtonLook& look, bool pressed);

}  // namespace salvora::widgets
