#include "widgets/core/button_face.h"

namespace salvora::widgets {

void notePress(ButtonLook& look) {
    if (look.isToggle && !look.disabled)
        look.toggled = !look.toggled;
}

ButtonFace chooseFace(const ButtonLook& look, bool pressed) {
    if (look.disabled)
        return ButtonFace::kDisabled;
    const bool alternate = look.toggled && look.haveAlternate;
    if (pressed)
        return alternate ? ButtonFace::kAlternatePressed : ButtonFace::kStandardPressed;
    if (look.hovering)
        return alternate ? ButtonFace::kAlternateHot : ButtonFace::kStandardHot;
    return alternate ? ButtonFace::kAlternate : ButtonFace::kStandard;
}

}  // namespace salvora::widgets
