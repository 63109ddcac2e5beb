// UUCP lock files of other programs, each format held by a live child process.
#include "line_lock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "port_failure.h"
#include "pty_line.h"
#include "serial_line.h"

namespace {

// Another program: a child process that sleeps until it is ended.
class OtherProgram {
  public:
    OtherProgram() {
        char sleep[] = "sleep";
        char seconds[] = "600";
        char* argv[] = {sleep, seconds, nullptr};
        EXPECT_EQ(::posix_spawnp(&pid_, "sleep", nullptr, nullptr, argv, environ), 0);
        // The spawn may return before the child has become "sleep".
        for (int i = 0; i < 2000 && Comm() != "sleep"; ++i) {
            ::usleep(1000);
        }
    }
    ~OtherProgram() { End(); }
    void End() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = 0;
        }
    }
    int Pid() const { return pid_; }
    std::string Comm() const {
        std::ifstream comm("/proc/" + std::to_string(pid_) + "/comm");
        std::string name;
        std::getline(comm, name);
        return name;
    }

  private:
    pid_t pid_ = 0;
};

void Write(const std::string& path, const std::string& contents) {
    std::ofstream(path, std::ios::binary) << contents;
}

std::string Read(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string Formatted(const char* format, int pid) {
    char text[64];
    std::snprintf(text, sizeof text, format, pid);
    return text;
}

TEST(LineLockTest, LiveHolderInEveryFormatDeadOneIsNobody) {
    QTemporaryDir dir;
    const std::string locks = dir.path().toStdString();
    const std::string lock = locks + "/LCK..ttyUSB7";
    OtherProgram other;
    const int pid = other.Pid();
    std::string binary(4, '\0');
    std::memcpy(binary.data(), &pid, 4);
    const std::string formats[] = {Formatted("%10d\n", pid), Formatted("%d\n", pid),
                                   Formatted("%d\nminicom\nhost\n", pid), binary};
    for (const std::string& contents : formats) {
        Write(lock, contents);
        const std::optional<LockHolder> holder = ForeignLockHolder("/dev/ttyUSB7", locks);
        ASSERT_TRUE(holder.has_value()) << contents;
        EXPECT_EQ(holder->pid, pid);
        EXPECT_EQ(holder->program, "sleep");
    }
    EXPECT_FALSE(ForeignLockHolder("/dev/ttyUSB8", locks).has_value());
    Write(lock, Formatted("%10d\n", ::getpid()));  // our own lock names nobody else
    EXPECT_FALSE(ForeignLockHolder("/dev/ttyUSB7", locks).has_value());
    Write(lock, Formatted("%10d\n", pid));
    other.End();
    EXPECT_FALSE(ForeignLockHolder("/dev/ttyUSB7", locks).has_value());
    EXPECT_EQ(Read(lock), Formatted("%10d\n", pid));  // looked at, never changed
}

// The line's own check, in the system's lock folder as other programs use it.
TEST(LineLockTest, LineThatAnotherProgramHoldsIsBusyAndItsLockStays) {
    PtyLine pty;
    QTemporaryDir dir;
    const std::string name = "ttyLockTest" + std::to_string(::getpid());
    const std::string device = dir.filePath(QString::fromStdString(name)).toStdString();
    pty.LinkAt(device);
    const std::string lock = "/run/lock/LCK.." + name;
    OtherProgram other;
    const std::string contents = Formatted("%10d\n", other.Pid());
    Write(lock, contents);
    if (Read(lock) != contents) {
        GTEST_SKIP() << "the system's lock folder is not writable here";
    }
    SerialLine line(ComPortNames::FromDevices({device}));
    line.PortNumber(1);
    try {
        line.Open();
        ADD_FAILURE() << "opened a line another program holds";
    } catch (const PortFailure& failure) {
        EXPECT_EQ(failure.Number(), LineError::kBusy);
        EXPECT_EQ(
            failure.Description(),
            "The line is busy: process " + std::to_string(other.Pid()) + " (sleep) holds its lock");
    }
    EXPECT_EQ(Read(lock), contents);
    other.End();
    EXPECT_EQ(line.Open(), 1);  // a lock whose process is gone may be taken over
    line.Close();
    std::filesystem::remove(lock);
}

}  // namespace
