#pragma once

#include "window_layout.h"

namespace probelyn {

// Each control's id (GetDlgCtrlID) is its place in the layout's list of names
// after this; none is IDOK or IDCANCEL, which the dialog keys send.
inline constexpr int kFirstControlId = 100;

constexpr int ControlIdOf(ControlId id) {
    return kFirstControlId + static_cast<int>(id);
}

}  // namespace probelyn
