#pragma once

#include <windows.h>

namespace probelyn {

// Opens the maker's site in the default browser, as the logo does. Whatever
// happens, nothing is shown: no browser, no handler.
void OpenMakerSite(HWND owner);

}  // namespace probelyn
