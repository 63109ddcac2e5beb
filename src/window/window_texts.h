#pragma once

#include <string>

namespace probelyn {

// Every text the window shows, written once for both toolkits.
namespace texts {

inline constexpr char kCaption[] = "VKT/VRN Probelyn";
inline constexpr char kDescription[] =
    "Detects VRN and VKT devices in either Modbus, ASCII or LyraBus protocol variants. You "
    "should have only the unidentified device connected to the selected COM port.";
inline constexpr char kInstruction[] =
    "Select COM port to scan and the protocol type then press Go";
inline constexpr char kVersionLabel[] = "v" PROBELYN_VERSION;

inline constexpr char kLogoTip[] = "Go to the Corvallen web site";
inline constexpr char kLogoName[] = "Corvallen web site";
inline constexpr char kPortListTip[] = "Select COM port where instrument is attached";
inline constexpr char kProtocolTip[] = "Select the protocol variant the instrument speaks";
inline constexpr char kGoTip[] = "Start / stop detection";
inline constexpr char kStatusTip[] = "Status information";
inline constexpr char kProgressName[] = "Progress";

// The maker's web site, opened from the logo.
inline constexpr char kMakerWebSite[] = "https://www.corvallen.example/";

inline constexpr char kGo[] = "Go";
inline constexpr char kStop[] = "Stop";

inline constexpr char kReady[] = "Ready";
inline constexpr char kCancelled[] = "Cancelled by user";

inline constexpr char kDeviceFoundTitle[] = "Device Found";
inline constexpr char kPortErrorTitle[] = "Port Error";
inline constexpr char kIdentificationFailedTitle[] = "Identification Failed";
inline constexpr char kNoInstrument[] = "No instrument detected!";
inline constexpr char kExtendedScanTitle[] = "No Instrument Detected";
inline constexpr char kExtendedScanQuestion[] =
    "No instrument was identified! Would you like to attempt an extended address scan for "
    "ASCII instruments (Addresses 256 to 999)?\r\nThis could take a long time so you should "
    "only select Yes if you believe you have an ASCII instrument connected.";
inline constexpr char kCriticalTitle[] = "Critical Error";
inline constexpr char kNoSerialPorts[] = "No serial ports detected!";
inline constexpr char kNoSerialDevice[] = "No serial device exists on this computer.";
// The button that shows a box's details, and the one that hides them again.
inline constexpr char kShowDetails[] = "Show Details...";
inline constexpr char kHideDetails[] = "Hide Details...";

}  // namespace texts

// The status line while a station is tried.
std::string TryingText(int baud, const std::string& line, int station);
// The status line once an instrument was found and the box dismissed.
std::string FoundStatus(const std::string& found);
// The text of the box of a failure during the run at one rate.
std::string PortErrorText(int baud, const std::string& line, const std::string& reason);

}  // namespace probelyn
