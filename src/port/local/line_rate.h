#pragma once

namespace probelyn {

// The rates a Linux tty is set to, read with TCGETS2 so that custom rates such
// as 76800 come out exactly (plain tcgetattr cannot tell them apart).
struct LineRates {
    int output = 0;
    int input = 0;
    // The framing flags as the tty keeps them. A pty clears PARENB whenever
    // it is set but keeps PARODD and CSTOPB, so those two tell a pty's framing.
    bool parityEnabled = false;
    bool parityOdd = false;
    bool twoStopBits = false;
    // What the program asked of the tty about characters received with an
    // error: marked (PARMRK), parity checked (INPCK), ignored (IGNPAR).
    bool markErrors = false;
    bool checkParity = false;
    bool ignoreErrors = false;
};

// Reads the rates and framing flags of the tty behind fd (a pty master reads
// its slave's).
// Returns false when the query fails.
bool ReadLineRates(int fd, LineRates* rates);

}  // namespace probelyn
