#include "com_port_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace probelyn {

namespace fs = std::filesystem;

class ComPortNamesTest : public testing::Test {
  protected:
    void SetUp() override {
        root_ =
            fs::temp_directory_path() /
            ("probelyn-dev-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    void Make(const std::string& name) { std::ofstream(root_ / name).put('x'); }
    std::string Path(const std::string& name) const { return (root_ / name).string(); }

    fs::path root_;
};

TEST_F(ComPortNamesTest, LinksThatLeadSomewhereCountAndPathsAreGiven) {
    Make("real");
    Make("ttyUSB4");
    fs::create_symlink(root_ / "real", root_ / "ttyUSB3");
    fs::create_symlink(root_ / "gone", root_ / "ttyUSB1");
    const auto all = [](const std::string&) { return true; };
    EXPECT_EQ(NumberSerialDevices(root_.string(), all),
              (std::vector<std::string>{Path("ttyUSB3"), Path("ttyUSB4")}));
    EXPECT_TRUE(NumberSerialDevices((root_ / "nowhere").string(), all).empty());
}

struct Tree {
    const char* name;
    std::vector<std::string> names;
    std::vector<std::string> phantoms;
    std::vector<std::string> expected;
};

void PrintTo(const Tree& tree, std::ostream* out) {
    *out << tree.name;
}

class SerialDeviceOrderTest : public testing::TestWithParam<Tree> {};

TEST_P(SerialDeviceOrderTest, FamiliesInOrderEachByIndexGapsSkipped) {
    const Tree& t = GetParam();
    const auto isDevice = [&](const std::string& name) {
        return std::find(t.phantoms.begin(), t.phantoms.end(), name) == t.phantoms.end();
    };
    EXPECT_EQ(SerialDeviceOrder(t.names, isDevice), t.expected);
}

// family<from> .. family<to - 1>
std::vector<std::string> Family(const std::string& family, int from, int to) {
    std::vector<std::string> names;
    for (int i = from; i < to; ++i) {
        names.push_back(family + std::to_string(i));
    }
    return names;
}

std::vector<std::string> Joined(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

INSTANTIATE_TEST_SUITE_P(
    Trees, SerialDeviceOrderTest,
    testing::Values(
        Tree{"LoneSecondAdapter", {"ttyUSB1", "tty0", "ttyprintk"}, {}, {"ttyUSB1"}},
        Tree{"GapsInEveryFamily",
             {"ttyACM5", "ttyUSB2", "ttyS3", "ttyUSB0", "ttyS0", "ttyAMA2"},
             {},
             {"ttyS0", "ttyS3", "ttyUSB0", "ttyUSB2", "ttyACM5", "ttyAMA2"}},
        Tree{"PhantomUartsTakeNoNumber",
             Joined(Family("ttyS", 0, 32), {"ttyUSB0"}),
             Family("ttyS", 1, 32),
             {"ttyS0", "ttyUSB0"}},
        Tree{"EveryFamily",
             {"ttySC0", "ttyTHS1", "ttymxc0", "rfcomm0", "ttyXRUSB0", "ttyAMA0", "ttyACM0",
              "ttyUSB0", "ttyS0"},
             {},
             {"ttyS0", "ttyUSB0", "ttyACM0", "ttyAMA0", "ttyXRUSB0", "rfcomm0", "ttymxc0",
              "ttyTHS1", "ttySC0"}},
        Tree{"NumericNotTextOrder",
             {"ttyUSB10", "ttyUSB9", "ttyUSB100"},
             {},
             {"ttyUSB9", "ttyUSB10", "ttyUSB100"}},
        Tree{"OtherNamesAreNotDevices", {"ttyS", "ttyUSBx", "ttyS0a", "ttyS-1", "console"}, {}, {}},
        Tree{"MoreThanAHundred", Family("ttyUSB", 0, 120), {}, Family("ttyUSB", 0, 120)}),
    [](const testing::TestParamInfo<Tree>& row) { return std::string(row.param.name); });

TEST(ComPortNamesMapping, ComNumbersFollowTheList) {
    const ComPortNames names = ComPortNames::FromDevices({"/dev/ttyS0", "/dev/ttyUSB0"});
    EXPECT_EQ(names.DeviceFor(1), "/dev/ttyS0");
    EXPECT_EQ(names.DeviceFor(2), "/dev/ttyUSB0");
    EXPECT_EQ(names.DeviceFor(3), std::nullopt);
    EXPECT_EQ(names.DeviceFor(0), std::nullopt);
    EXPECT_EQ(names.DeviceFor(-1), std::nullopt);
    EXPECT_EQ(ComPortNames::Native().DeviceFor(12), "COM12");
}

// Every message names a line so: its COM number and device where both are
// known and differ, one of them otherwise.
TEST(ComPortNamesMapping, LinesAreNamedByNumberAndDevice) {
    const std::pair<LineName, std::string> rows[] = {
        {{.com = 3, .device = "/dev/ttyACM0"}, "COM3 (/dev/ttyACM0)"},
        {{.com = 3, .device = "COM3"}, "COM3"},
        {{.com = 3}, "COM3"},
        {{.com = std::nullopt, .device = "/dev/pts/4"}, "/dev/pts/4"},
    };
    for (const auto& [line, shown] : rows) {
        EXPECT_EQ(DisplayName(line), shown);
    }
}

}  // namespace probelyn
