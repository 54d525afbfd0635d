#include "cardprotect_app/core/card_button_face.h"

namespace salvora::cardprotect {

namespace {

bool has(const LoadedImages& loaded, int set, CardImage image) {
    return loaded[static_cast<size_t>(set - 1)][static_cast<size_t>(image)];
}

CardImage wanted(const CardButtonState& state) {
    if (state.disabledLook || state.windowDisabled)
        return CardImage::kDisabled;
    if (state.selected || state.pressed)
        return CardImage::kPressed;
    return state.hovering ? CardImage::kHover : CardImage::kNormal;
}

}  // namespace

CardFace chooseCardFace(const CardButtonState& state, const LoadedImages& loaded) {
    CardFace face;
    const bool validSet = state.imageSet >= 1 && state.imageSet <= kImageSets;
    face.imageSet = validSet && has(loaded, state.imageSet, CardImage::kNormal) ? state.imageSet : 1;
    if (!has(loaded, face.imageSet, CardImage::kNormal)) {
        face.none = true;
        return face;
    }
    face.image = wanted(state);
    if (!has(loaded, face.imageSet, face.image)) {
        face.shiftPressed = face.image == CardImage::kPressed;
        face.image = CardImage::kNormal;
    }
    return face;
}

}  // namespace salvora::cardprotect
