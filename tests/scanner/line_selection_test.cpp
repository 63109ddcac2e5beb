// Which lines a scan takes, on a device folder and console list of the
// test's own: pseudo-terminals linked under serial device names.
#include "line_selection.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "pty_line.h"
#include "temp_folder.h"

namespace probelyn {

namespace {

// The lines given by name, parsed as --port parses them.
GivenLines Given(const std::vector<std::string>& names, const ComPortNames& numbering) {
    std::vector<LineName> lines;
    for (const std::string& name : names) {
        lines.push_back(*ParseLineName(name).line);
    }
    return LinesGiven(lines, numbering);
}

class LineSelectionTest : public testing::Test {
  protected:
    // A line under the name in the test's device folder; its path.
    std::string Add(const std::string& name) {
        ptys_.push_back(std::make_unique<PtyLine>());
        const std::string path = Path(name);
        ptys_.back()->LinkAt(path);
        return path;
    }
    std::string Path(const std::string& name) const { return dir_.FilePath(name); }
    MachineLayout Layout(const std::string& consoles = "tty0") const {
        std::ofstream(Path("console-active")) << consoles << "\n";
        return {dir_.Path(), Path("console-active")};
    }
    ComPortNames Numbering() const { return ComPortNames::System(dir_.Path()); }

    TempFolder dir_;
    std::vector<std::unique_ptr<PtyLine>> ptys_;
};

// 105 adapters: every one is scanned, the first hundred with COM numbers.
TEST_F(LineSelectionTest, EveryLineFoundIsTakenComNumbersUpTo100) {
    for (int i = 0; i < 105; ++i) {
        Add("ttyUSB" + std::to_string(i));
    }
    const Census census = TakeCensus(Numbering(), Layout(), {});
    ASSERT_EQ(census.usable.size(), 105U);
    EXPECT_TRUE(census.unusable.empty());
    EXPECT_EQ(census.usable[99], (LineName{100, Path("ttyUSB99")}));
    EXPECT_EQ(census.usable[104], (LineName{std::nullopt, Path("ttyUSB104")}));
    EXPECT_EQ(Given({"COM100"}, Numbering()).lines,
              (std::vector<LineName>{{100, Path("ttyUSB99")}}));
    EXPECT_EQ(Given({"COM101"}, Numbering()).error, "COM101 has no serial device");
}

// The console is left out with its reason, also where a link leads to it (as
// a board's serial0 leads to its UART); a device that does not open is told
// with the system's reason; nothing more is opened after a stop.
TEST_F(LineSelectionTest, ConsoleAndUnopenableLinesAreLeftOutWithTheirReason) {
    Add("ttyUSB0");
    Add("ttyACM0");
    std::filesystem::create_directory(Path("ttyAMA0"));  // opens as no line can
    Add("ttyAMA1");  // a link to the device the console writes to, as serial0 to ttyS0
    const std::string console = std::filesystem::path(ptys_.back()->SlavePath()).filename();
    const Census census = TakeCensus(Numbering(), Layout("tty0 ttyACM0 " + console), {});
    EXPECT_EQ(census.usable, (std::vector<LineName>{{1, Path("ttyUSB0")}}));
    ASSERT_EQ(census.unusable.size(), 3U);
    EXPECT_EQ(census.unusable[0].first, (LineName{2, Path("ttyACM0")}));
    EXPECT_EQ(census.unusable[0].second,
              "the system's console; --port " + Path("ttyACM0") + " scans it anyway");
    EXPECT_EQ(census.unusable[1].first, (LineName{3, Path("ttyAMA0")}));
    EXPECT_NE(census.unusable[1].second, "");
    EXPECT_EQ(census.unusable[2].first, (LineName{4, Path("ttyAMA1")}));
    EXPECT_EQ(census.unusable[2].second,
              "the system's console; --port " + Path("ttyAMA1") + " scans it anyway");

    std::stop_source stop;
    stop.request_stop();
    EXPECT_TRUE(TakeCensus(Numbering(), Layout(), stop.get_token()).usable.empty());
}

// Lines given by COM number, by device and by link: one device is scanned
// once, under the name given first, and the merge is said.
TEST_F(LineSelectionTest, OneDeviceUnderSeveralNamesIsScannedOnce) {
    const std::string first = Add("ttyUSB0");
    const std::string second = Add("ttyUSB1");
    const std::string target = std::filesystem::canonical(second).string();
    const std::string alias = Path("alias");
    std::filesystem::create_symlink(second, alias);
    const GivenLines given =
        Given({"COM2", alias, target, "com1", first, first, "/dev/null"}, Numbering());
    EXPECT_EQ(given.error, "");
    EXPECT_EQ(given.lines,
              (std::vector<LineName>{{2, second}, {1, first}, {std::nullopt, "/dev/null"}}));
    EXPECT_EQ(given.merged,
              (std::vector<std::string>{
                  alias + " is the device COM2 (" + second + ") names; it is scanned once",
                  target + " is the device COM2 (" + second + ") names; it is scanned once",
                  first + " is the device COM1 (" + first + ") names; it is scanned once",
                  first + " is the device COM1 (" + first + ") names; it is scanned once"}));
    // A link given alone gets its device's COM number.
    EXPECT_EQ(Given({alias}, Numbering()).lines, (std::vector<LineName>{{2, alias}}));
    for (const char* missing : {"COM3", "COM101", "COM0"}) {
        const GivenLines none = Given({first, missing}, Numbering());
        EXPECT_TRUE(none.lines.empty()) << missing;
        EXPECT_EQ(none.error, std::string(missing) + " has no serial device");
    }
}

}  // namespace

}  // namespace probelyn
