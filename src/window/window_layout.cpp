#include "window_layout.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "window_texts.h"

namespace probelyn {

namespace {

using C = ControlId;
using K = ControlKind;
using F = FontRole;
using R = ColourRole;

constexpr ControlLayout kLayout[] = {
    {C::Picture1,
     "Picture1",
     K::PictureBox,
     C::Window,
     {-60, -60, 7755, 915},
     nullptr,
     F::Default,
     R::White,
     nullptr},
    {C::Image2,
     "Image2",
     K::Picture,
     C::Picture1,
     {180, 120, 720, 720},
     nullptr,
     F::Default,
     R::Default,
     nullptr},
    {C::Label4,
     "Label4",
     K::Label,
     C::Picture1,
     {900, 120, 4215, 675},
     texts::kDescription,
     F::Default,
     R::DarkBlue,
     nullptr},
    {C::Image1,
     "Image1",
     K::Picture,
     C::Picture1,
     {5580, 240, 2115, 570},
     nullptr,
     F::Default,
     R::Default,
     texts::kLogoTip},
    {C::Label2,
     "Label2",
     K::Label,
     C::Picture1,
     {6960, 60, 675, 195},
     texts::kVersionLabel,
     F::Small,
     R::Default,
     nullptr},
    {C::Label3,
     "Label3",
     K::Label,
     C::Window,
     {420, 1020, 4575, 255},
     texts::kInstruction,
     F::Default,
     R::WindowText,
     nullptr},
    {C::PortList,
     "PortList",
     K::DropDownList,
     C::Window,
     {420, 1320, 975, 315},
     nullptr,
     F::Default,
     R::Default,
     texts::kPortListTip},
    {C::protocol,
     "protocol",
     K::DropDownList,
     C::Window,
     {1620, 1320, 1935, 315},
     nullptr,
     F::Default,
     R::Default,
     texts::kProtocolTip},
    {C::GoButton,
     "GoButton",
     K::Button,
     C::Window,
     {3840, 1320, 1035, 315},
     texts::kGo,
     F::Default,
     R::Default,
     texts::kGoTip},
    {C::Frame1,
     "Frame1",
     K::Frame,
     C::Window,
     {-120, 1860, 7935, 915},
     nullptr,
     F::Default,
     R::Default,
     nullptr},
    {C::Status,
     "Status",
     K::Label,
     C::Frame1,
     {240, 180, 6795, 255},
     texts::kReady,
     F::Default,
     R::WindowText,
     texts::kStatusTip},
    {C::Label1,
     "Label1",
     K::CellRow,
     C::Frame1,
     {180, 420, 8115, 255},
     nullptr,
     F::Cells,
     R::ButtonShadow,
     nullptr},
    {C::bar,
     "bar",
     K::CellRow,
     C::Frame1,
     {180, 420, 8115, 255},
     nullptr,
     F::Cells,
     R::ActiveCaption,
     nullptr},
};

}  // namespace

NamedFont FontOf(FontRole role) {
    switch (role) {
        case FontRole::Small:
            return {"Small Fonts", 6.75};
        case FontRole::Cells:
            return {"MS Sans Serif", 12.0};
        case FontRole::Default:
            break;
    }
    return {"MS Sans Serif", 8.25};  // 11 pixels at 96 dots per inch
}

std::span<const ControlLayout> WindowLayout() {
    return kLayout;
}

const ControlLayout& LayoutOf(ControlId id) {
    const auto found = std::find_if(std::begin(kLayout), std::end(kLayout),
                                    [id](const ControlLayout& c) { return c.id == id; });
    if (found == std::end(kLayout)) {
        throw std::out_of_range("the window has no such control");
    }
    return *found;
}

int TwipsToPixels(int twips, int dpi) {
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / kTwipsPerInch));
}

}  // namespace probelyn
