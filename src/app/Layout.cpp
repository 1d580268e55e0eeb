#include "Layout.h"

#include <algorithm>

namespace zandrel {

namespace {
constexpr float RightMargin = 140;
constexpr float BottomMargin = 740;

int size(float twips)
{
    return std::max(0, int(twips));
}
} // namespace

std::optional<FollowingSizes> Form_Resize(double outerWidth, double outerHeight, double clientHeight,
                                          bool minimised)
{
    if (minimised)
        return std::nullopt;
    const auto w = float(outerWidth);
    const auto h = float(outerHeight);
    const auto c = float(clientHeight);
    FollowingSizes sizes {};
    sizes.tResponseWidth = size(w - float(design::tResponse.left) - RightMargin);
    sizes.tResponseHeight = size(h - float(design::tResponse.top) - BottomMargin);
    sizes.NagWidth = size(w - float(design::Nag.left) - RightMargin);
    sizes.LinkListHeight = size(c - float(design::LinkList.top));
    sizes.AvailableHeight = size(c - float(design::Available.top));
    return sizes;
}

} // namespace zandrel
