#pragma once

namespace probelyn {

// Makes the window's own controls readable by assistive technology: the
// progress bar as a named progress bar with its value 0..100 and the logo as a
// named link that can be pressed. Installed once for the application.
void InstallControlAccessibility();

}  // namespace probelyn
