#pragma once

#include <optional>

namespace zandrel {

// Design rectangle in twips.
struct TwipRect
{
    int left;
    int top;
    int width;
    int height;
};

// The four controls that follow the window's size, in twips.
struct FollowingSizes
{
    int tResponseWidth;
    int tResponseHeight;
    int NagWidth;
    int LinkListHeight;
    int AvailableHeight;
};

namespace design {
inline constexpr TwipRect Available {0, 1260, 2400, 6000};
inline constexpr TwipRect LinkList {2460, 1260, 2100, 6000};
inline constexpr TwipRect Nag {4620, 1260, 3735, 1215};
inline constexpr TwipRect tResponse {4620, 2880, 3735, 4635};
// The smallest window: the top rows of controls whole (the path boxes end at 9105) and the
// response box at least 1500 twips high, with the resize rule's margins.
inline constexpr int MinimumWidth = 9105 + 140;
inline constexpr int MinimumHeight = tResponse.top + 1500 + 740;
} // namespace design

// The resize rule: the response box follows the window's width and height, the removal-text box
// its width, the two lists reach the bottom of the client area. `outerWidth`, `outerHeight` and
// `clientHeight` are twips. A minimised window changes nothing; sizes never go below zero.
std::optional<FollowingSizes> Form_Resize(double outerWidth, double outerHeight, double clientHeight,
                                          bool minimised);

} // namespace zandrel
