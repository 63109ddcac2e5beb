#pragma once

#include <span>

namespace probelyn {

// The window's controls, by the names the layout gives them.
enum class ControlId {
    Window,
    Picture1,
    Image2,
    Label4,
    Image1,
    Label2,
    Label3,
    PortList,
    protocol,
    GoButton,
    Frame1,
    Status,
    Label1,
    bar,
};

enum class ControlKind {
    PictureBox,    // a container with a background of its own
    Picture,       // an image from the program's resources
    Label,         // text on a transparent background
    DropDownList,  // picks an entry; takes no typed text
    Button,
    Frame,    // a container drawn as a sunken box
    CellRow,  // a row of progress cells (the track, and the bar over it)
};

enum class FontRole {
    Default,  // the window's default font
    Small,    // "Small Fonts", 6.75 pt
    Cells,    // "MS Sans Serif", 12 pt
};

// Colours by the system's roles, so that the user's theme holds; the text
// colour for labels, the cells' colour for cell rows, the background for
// picture boxes.
enum class ColourRole {
    Default,
    White,          // the white strip's background
    DarkBlue,       // the description's text, RGB (0x01, 0x36, 0x68)
    WindowText,     // the system's window text
    ButtonShadow,   // the system's button shadow: the progress track
    ActiveCaption,  // the system's active title bar: the progress bar
};

// A place in twips (1/1440 inch), relative to the container's client area.
struct TwipRect {
    int left;
    int top;
    int width;
    int height;
};

struct ControlLayout {
    ControlId id;
    const char* name;
    ControlKind kind;
    ControlId container;
    TwipRect place;
    const char* text;  // at creation; nullptr for none
    FontRole font;
    ColourRole colour;
    const char* tooltip;  // nullptr for none
};

// The window's client area in twips: 512 x 178 pixels at 96 dots per inch.
inline constexpr int kClientWidthTwips = 7680;
inline constexpr int kClientHeightTwips = 2670;
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kBaseDpi = 96;

// The fonts by role: the named family and its size in points.
struct NamedFont {
    const char* family;
    double points;
};
NamedFont FontOf(FontRole role);

// Every control, containers before what they hold, in the stacking order
// within each container (the bar after, so above, the track).
std::span<const ControlLayout> WindowLayout();
const ControlLayout& LayoutOf(ControlId id);

// Twips as pixels at dpi, rounded to the nearest pixel.
int TwipsToPixels(int twips, int dpi);

// The description's text colour as red, green and blue.
inline constexpr unsigned char kDarkBlue[3] = {0x01, 0x36, 0x68};

}  // namespace probelyn
