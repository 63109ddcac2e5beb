// The simulator's link: it never removes or replaces what it did not make.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "pty_line.h"
#include "temp_folder.h"

namespace probelyn {

namespace {

namespace fs = std::filesystem;

TEST(SimLinkTest, WhatIsAtThePathStaysWhatItWas) {
    TempFolder dir;
    const fs::path file = dir.FilePath("ttyUSB0");
    std::ofstream(file) << "a technician's notes";
    const fs::path foreign = dir.FilePath("ttyUSB1");
    fs::create_symlink("/dev/null", foreign);
    PtyLine pty;
    EXPECT_THROW(pty.LinkAt(file), std::runtime_error);
    EXPECT_THROW(pty.LinkAt(foreign), std::runtime_error);
    std::string kept;
    std::getline(std::ifstream(file), kept);
    EXPECT_EQ(kept, "a technician's notes");
    EXPECT_EQ(fs::read_symlink(foreign), "/dev/null");
}

TEST(SimLinkTest, OwnLinkIsRemovedOnlyWhileItIsStillItsOwn) {
    TempFolder dir;
    const fs::path link = dir.FilePath("ttyUSB2");
    {
        PtyLine pty;
        pty.LinkAt(link);
        EXPECT_EQ(fs::read_symlink(link), pty.SlavePath());
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    {
        PtyLine pty;
        pty.LinkAt(link);
        fs::remove(link);
        std::ofstream(link) << "placed later by someone else";
    }
    EXPECT_TRUE(fs::is_regular_file(link));
}

TEST(SimLinkTest, HelpIsUsageAndSuccess) {
    const std::string command = std::string(SIMULATOR) + " --help > /dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

}  // namespace

}  // namespace probelyn
