#include "cardprotect_app/core/card_button_face.h"

#include <gtest/gtest.h>

namespace salvora::cardprotect {
namespace {

LoadedImages fullSets(int sets) {
    LoadedImages loaded{};
    for (int set = 0; set < sets; ++set)
        loaded[set].fill(true);
    return loaded;
}

CardFace faceOf(CardButtonState state, const LoadedImages& loaded = fullSets(2)) {
    return chooseCardFace(state, loaded);
}

TEST(CardButtonFace, DisabledLookWinsOverSelectionPressAndHover) {
    CardButtonState state;
    state.imageSet = 2;
    state.selected = state.pressed = state.hovering = true;
    state.disabledLook = true;
    EXPECT_EQ(faceOf(state).image, CardImage::kDisabled);
    EXPECT_EQ(faceOf(state).imageSet, 2);
    state.disabledLook = false;
    state.windowDisabled = true;
    EXPECT_EQ(faceOf(state).image, CardImage::kDisabled);
}

TEST(CardButtonFace, SelectedShowsThePressedPictureEvenWithoutAPress) {
    CardButtonState state;
    state.selected = true;
    EXPECT_EQ(faceOf(state).image, CardImage::kPressed);
    state.hovering = true;
    EXPECT_EQ(faceOf(state).image, CardImage::kPressed);
    state.selected = false;
    EXPECT_EQ(faceOf(state).image, CardImage::kHover);
    state.hovering = false;
    EXPECT_EQ(faceOf(state).image, CardImage::kNormal);
}

TEST(CardButtonFace, TheWindowChoosesTheSet) {
    CardButtonState state;
    state.imageSet = 2;
    EXPECT_EQ(faceOf(state).imageSet, 2);
    state.imageSet = 3;  // never loaded
    EXPECT_EQ(faceOf(state).imageSet, 1);
    state.imageSet = 0;
    EXPECT_EQ(faceOf(state).imageSet, 1);
    state.imageSet = 7;
    EXPECT_EQ(faceOf(state).imageSet, 1);
}

TEST(CardButtonFace, MissingPicturesFallBackToTheNormalOne) {
    LoadedImages loaded{};
    loaded[0][static_cast<size_t>(CardImage::kNormal)] = true;
    CardButtonState state;
    state.pressed = true;
    CardFace face = chooseCardFace(state, loaded);
    EXPECT_EQ(face.image, CardImage::kNormal);
    EXPECT_TRUE(face.shiftPressed);
    state = CardButtonState{};
    state.disabledLook = true;
    face = chooseCardFace(state, loaded);
    EXPECT_EQ(face.image, CardImage::kNormal);
    EXPECT_FALSE(face.shiftPressed);
    EXPECT_TRUE(chooseCardFace(CardButtonState{}, LoadedImages{}).none);
}

}  // namespace
}  // namespace salvora::cardprotect
