#include "com_port_names.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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

TEST_F(ComPortNamesTest, PatternsInOrderEachUpToItsFirstGap) {
    for (const char* name : {"ttyS0", "ttyS1", "ttyS3", "ttyUSB0", "ttyACM0", "ttyACM1"}) {
        Make(name);
    }
    // ttyS3 lies beyond the gap at ttyS2 and is not numbered.
    EXPECT_EQ(NumberSerialDevices(root_.string()),
              (std::vector<std::string>{Path("ttyS0"), Path("ttyS1"), Path("ttyUSB0"),
                                        Path("ttyACM0"), Path("ttyACM1")}));
}

TEST_F(ComPortNamesTest, SymlinksCountAndDanglingOnesEndThePattern) {
    Make("real");
    fs::create_symlink(root_ / "real", root_ / "ttyUSB0");
    fs::create_symlink(root_ / "gone", root_ / "ttyUSB1");
    fs::create_symlink(root_ / "real", root_ / "ttyUSB2");
    EXPECT_EQ(NumberSerialDevices(root_.string()), (std::vector<std::string>{Path("ttyUSB0")}));
}

TEST_F(ComPortNamesTest, MissingPatternGivesNothing) {
    Make("ttyS1");  // no ttyS0: nothing of this pattern is numbered
    EXPECT_TRUE(NumberSerialDevices(root_.string()).empty());
    EXPECT_TRUE(NumberSerialDevices((root_ / "nowhere").string()).empty());
}

TEST(ComPortNamesMapping, ComNumbersFollowTheList) {
    const ComPortNames names = ComPortNames::FromDevices({"/dev/ttyS0", "/dev/ttyUSB0"});
    EXPECT_EQ(names.DeviceFor(1), "/dev/ttyS0");
    EXPECT_EQ(names.DeviceFor(2), "/dev/ttyUSB0");
    EXPECT_EQ(names.DeviceFor(3), std::nullopt);
    EXPECT_EQ(names.DeviceFor(0), std::nullopt);
    EXPECT_EQ(names.DeviceFor(-1), std::nullopt);
    EXPECT_EQ(ComPortNames::Native().DeviceFor(12), "COM12");
}
