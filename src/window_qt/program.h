#pragma once

namespace probelyn {

class Form1;

// The program's life after the window is built: start-up discovery, then the
// event loop until the window closes. A request of the system to end the
// program closes the window as a close request that cannot be refused.
// Returns the exit status: 0 when the window was closed, 1 when no serial
// line opened (also when a signal dismissed that news).
int RunProgram(Form1& window);

}  // namespace probelyn
