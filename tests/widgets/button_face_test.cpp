#include "widgets/core/button_face.h"

#include <gtest/gtest.h>

namespace salvora::widgets {
namespace {

TEST(ButtonFace, StateChoosesStandardPressedOrHot) {
    ButtonLook look;
    EXPECT_EQ(chooseFace(look, false), ButtonFace::kStandard);
    EXPECT_EQ(chooseFace(look, true), ButtonFace::kStandardPressed);
    look.hovering = true;
    EXPECT_EQ(chooseFace(look, true), ButtonFace::kStandardPressed);  // pressed wins over hot
    EXPECT_EQ(chooseFace(look, false), ButtonFace::kStandardHot);
}

TEST(ButtonFace, DisabledAlwaysShowsTheDisabledPictureAndNeverToggles) {
    ButtonLook look;
    look.disabled = true;
    look.isToggle = true;
    look.hovering = true;
    notePress(look);
    EXPECT_FALSE(look.toggled);
    EXPECT_EQ(chooseFace(look, true), ButtonFace::kDisabled);
    EXPECT_EQ(chooseFace(look, false), ButtonFace::kDisabled);
}

TEST(ButtonFace, ToggleFlipsAtEachPressBetweenTheTwoSets) {
    ButtonLook look;
    look.isToggle = true;
    look.haveAlternate = true;
    notePress(look);
    EXPECT_EQ(chooseFace(look, true), ButtonFace::kAlternatePressed);
    EXPECT_EQ(chooseFace(look, false), ButtonFace::kAlternate);
    look.hovering = true;
    EXPECT_EQ(chooseFace(look, false), ButtonFace::kAlternateHot);
    notePress(look);
    EXPECT_EQ(chooseFace(look, true), ButtonFace::kStandardPressed);
    EXPECT_EQ(chooseFace(look, false), ButtonFace::kStandardHot);
}

TEST(ButtonFace, ToggledButtonWithoutAlternateImagesKeepsTheStandardSet) {
    ButtonLook look;
    look.isToggle = true;
    notePress(look);
    EXPECT_TRUE(look.toggled);
    EXPECT_EQ(chooseFace(look, true), ButtonFace::kStandardPressed);
    EXPECT_EQ(chooseFace(look, false), ButtonFace::kStandard);
}

TEST(ButtonFace, PlainButtonNeverToggles) {
    ButtonLook look;
    look.haveAlternate = true;
    notePress(look);
    EXPECT_FALSE(look.toggled);
    EXPECT_EQ(chooseFace(look, false), ButtonFace::kStandard);
}

}  // namespace
}  // namespace salvora::widgets
