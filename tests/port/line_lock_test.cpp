// UUCP lock files of other programs, each format held by a live child process.
#include "line_lock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "port_failure.h"
#include "port_line.h"
#include "pty_line.h"
#include "temp_folder.h"

namespace probelyn {

namespace {

// Another program: a child process that sleeps until it is ended, started as
// `sleep` or through a link to it of another name.
class OtherProgram {
  public:
    explicit OtherProgram(const std::string& path = "sleep") {
        std::string name = path;
        char seconds[] = "600";
        char* argv[] = {name.data(), seconds, nullptr};
        EXPECT_EQ(::posix_spawnp(&pid_, path.c_str(), nullptr, nullptr, argv, environ), 0);
        // The spawn may return before the child has become the program.
        const std::string comm = std::filesystem::path(path).filename().string().substr(0, 15);
        for (int i = 0; i < 2000 && Comm() != comm; ++i) {
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

LineLocks::Verdict VerdictOn(const std::string& device, const std::string& locks) {
    return InspectLineLocks(device, locks).verdict;
}

TEST(LineLockTest, LiveHolderInEveryFormatDeadOneOrAnotherProgramIsNobody) {
    TempFolder dir;
    // The second of the lock folders, and the device through a link to it.
    const std::string locks = "/nonexistent:" + dir.Path();
    const std::string lock = dir.Path() + "/LCK..ttyUSB7";
    const std::string device = dir.FilePath("ttyAlias");
    std::ofstream(dir.FilePath("ttyUSB7"));
    std::filesystem::create_symlink(dir.FilePath("ttyUSB7"), device);
    OtherProgram other;
    const int pid = other.Pid();
    std::string binary(4, '\0');
    std::memcpy(binary.data(), &pid, 4);
    const std::string negative = "\xfb\xff\xff\xff";  // -5 as a binary PID
    using V = LineLocks::Verdict;
    const std::pair<std::string, V> formats[] = {
        {Formatted("%10d\n", pid), V::Held},
        {Formatted("%d\n", pid), V::Held},
        {binary, V::Held},
        {negative, V::Free},
        {"", V::Free},  // a lock its writer never finished: stale
        {Formatted("%d\n/bin/sleep\nhost\n", pid), V::Held},  // Qt's format
        {Formatted("%10d sleep user\n", pid), V::Held},       // minicom's
        // The PID was reused by another program after a crash: stale.
        {Formatted("%d\nprobelyn\nhost\n", pid), V::Free},
        {Formatted("%10d minicom user\n", pid), V::Free},
    };
    for (const auto& [contents, verdict] : formats) {
        Write(lock, contents);
        const LineLocks judged = InspectLineLocks(device, locks);
        EXPECT_EQ(judged.verdict, verdict) << contents;
        if (verdict == V::Held) {
            EXPECT_EQ(judged.holder.pid, pid);
            EXPECT_EQ(judged.holder.program, "sleep");
        }
    }
    EXPECT_EQ(VerdictOn("/dev/ttyUSB8", locks), V::Free);
    Write(lock, Formatted("%10d\n", ::getpid()));
    EXPECT_EQ(VerdictOn(device, locks), V::Ours);
    Write(lock, Formatted("%10d\n", pid));
    other.End();
    EXPECT_EQ(VerdictOn(device, locks), V::Free);
    EXPECT_EQ(Read(lock), Formatted("%10d\n", pid));  // looked at, never changed
}

// Qt locks a device outside /dev under its whole path, '/' made '_'.
TEST(LineLockTest, LockUnderTheWholePathIsLookedFor) {
    TempFolder dir;
    const std::string locks = dir.Path();
    const std::string device = dir.FilePath("ttyElsewhere");
    std::string mangled = device;
    std::replace(mangled.begin(), mangled.end(), '/', '_');
    OtherProgram other;
    Write(locks + "/LCK.." + mangled, Formatted("%d\n", other.Pid()));
    EXPECT_EQ(VerdictOn(device, locks), LineLocks::Verdict::Held);
}

// Every file in the folder, whole paths.
std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        files.push_back(entry.path().string());
    }
    return files;
}

// The lock this program writes: whole, in Qt's form, under the name of the
// device a link leads to, the only file it leaves in the lock folder;
// replacing only a stale lock; gone when released, the folder as it was.
TEST(LineLockTest, OwnLockLivesWhileTheLineIsUsed) {
    TempFolder dir;
    TempFolder lockFolder;
    const std::string locks = lockFolder.Path();
    PtyLine pty;
    const std::string link = dir.FilePath("ttyProbelynLink");
    pty.LinkAt(link);
    std::string name = pty.SlavePath();
    std::replace(name.begin(), name.end(), '/', '_');
    const std::string path = locks + "/LCK.." + name;
    const std::vector<std::string> onlyTheLock{path};
    {
        const LineLock lock(link, locks);
        EXPECT_EQ(lock.Path(), path);
        EXPECT_EQ(FilesIn(locks), onlyTheLock);
        EXPECT_EQ(Read(path).substr(0, Read(path).find('\n')), std::to_string(::getpid()));
        EXPECT_NE(Read(path).find("\nport_tests\n"), std::string::npos) << Read(path);
        EXPECT_EQ(VerdictOn(pty.SlavePath(), locks), LineLocks::Verdict::Ours);
        EXPECT_EQ(VerdictOn(link, locks), LineLocks::Verdict::Ours);
        EXPECT_THROW(LineLock(pty.SlavePath(), locks), PortFailure);  // one lock for both names
        EXPECT_EQ(FilesIn(locks), onlyTheLock);
    }
    EXPECT_TRUE(FilesIn(locks).empty());
    OtherProgram other;
    for (const std::string& stale :
         {Formatted("%10d\n", 999999), Formatted("%d\nprobelyn\nhost\n", other.Pid())}) {
        Write(path, stale);
        {
            const LineLock lock(link, locks);
            EXPECT_EQ(Read(path).substr(0, Read(path).find('\n')), std::to_string(::getpid()));
            EXPECT_EQ(FilesIn(locks), onlyTheLock);
        }
        EXPECT_TRUE(FilesIn(locks).empty());
    }
    Write(path, Formatted("%d\nsleep\nhost\n", other.Pid()));
    EXPECT_THROW(LineLock(link, locks), PortFailure);
    EXPECT_EQ(Read(path), Formatted("%d\nsleep\nhost\n", other.Pid()));
    EXPECT_EQ(FilesIn(locks), onlyTheLock);
}

// Where lock files cannot be written, the line goes unlocked, said once.
TEST(LineLockTest, UnwritableFolderLeavesTheLineUnlockedAndSaysSoOnce) {
    testing::internal::CaptureStderr();
    const std::string locks = "/nonexistent/lock";
    {
        const LineLock first("/dev/ttyProbelyn0", locks);
        const LineLock second("/dev/ttyProbelyn1", locks);
        EXPECT_EQ(first.Path(), "");
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "port_tests: cannot write lock files in /nonexistent/lock (No such file or "
              "directory): lines are used without one, so other programs cannot see that they "
              "are in use\n");
}

// The process table shortens a name to 15 characters, and a program started
// through a link goes by the link's name there: either name of it counts.
TEST(LineLockTest, ProgramIsKnownByItsShortAndItsExecutableName) {
    TempFolder dir;
    const std::string locks = dir.Path();
    const std::string link = dir.FilePath("sleeper-with-a-long-name");
    std::filesystem::create_symlink("/bin/sleep", link);
    OtherProgram other(link);
    for (const char* named : {"sleeper-with-a-long-name", "sleep"}) {
        Write(locks + "/LCK..ttyUSB7", Formatted("%d\n", other.Pid()) + named + "\nhost\n");
        const LineLocks judged = InspectLineLocks("/dev/ttyUSB7", locks);
        EXPECT_EQ(judged.verdict, LineLocks::Verdict::Held) << named;
        EXPECT_EQ(judged.holder.program, "sleeper-with-a-");
    }
}

// Anyone may place anything in the lock folder: what is not a regular file is
// never read (a FIFO would block, /dev/zero never end), and the line stays
// unused with the lock's path and the reason.
TEST(LineLockTest, LockThatIsNoRegularFileIsNeverRead) {
    TempFolder dir;
    const std::string locks = dir.Path();
    const std::string lock = locks + "/LCK..ttyUSB7";
    ASSERT_EQ(::mkfifo(lock.c_str(), 0600), 0);
    LineLocks judged = InspectLineLocks("/dev/ttyUSB7", locks);
    EXPECT_EQ(judged.verdict, LineLocks::Verdict::Unjudged);
    EXPECT_EQ(judged.reason, lock + ": the lock is not a regular file");
    std::filesystem::remove(lock);
    std::filesystem::create_symlink("/dev/zero", lock);
    judged = InspectLineLocks("/dev/ttyUSB7", locks);
    EXPECT_EQ(judged.verdict, LineLocks::Verdict::Unjudged);
    EXPECT_EQ(judged.reason, lock + ": the lock is a symbolic link");
}

// The line's own check, in the system's lock folder as other programs use it.
TEST(LineLockTest, LineThatAnotherProgramHoldsIsBusyAndItsLockStays) {
    PtyLine pty;
    TempFolder dir;
    const std::string name = "ttyLockTest" + std::to_string(::getpid());
    const std::string device = dir.FilePath(name);
    pty.LinkAt(device);
    const std::string lock = "/run/lock/LCK.." + name;
    OtherProgram other;
    const std::string contents = Formatted("%10d\n", other.Pid());
    Write(lock, contents);
    if (Read(lock) != contents) {
        GTEST_SKIP() << "the system's lock folder is not writable here";
    }
    PortLine line(ComPortNames::FromDevices({device}));
    try {
        line.Open({.line = {.com = 1}});
        ADD_FAILURE() << "opened a line another program holds";
    } catch (const PortFailure& failure) {
        EXPECT_EQ(failure.Error(), LineError::Busy);
        EXPECT_EQ(
            failure.Description(),
            "The line is busy: process " + std::to_string(other.Pid()) + " (sleep) holds its lock");
    }
    EXPECT_EQ(Read(lock), contents);
    other.End();
    EXPECT_EQ(line.Open({.line = {.com = 1}}),
              1);  // a lock whose process is gone may be taken over
    line.Close();
    std::filesystem::remove(lock);
    ASSERT_EQ(::mkfifo(lock.c_str(), 0600), 0);
    try {
        line.Open({.line = {.com = 1}});
        ADD_FAILURE() << "opened a line whose lock cannot be judged";
    } catch (const PortFailure& failure) {
        EXPECT_EQ(failure.Error(), LineError::LockUnjudged);
        EXPECT_EQ(failure.Description(),
                  "The line's lock cannot be judged: " + lock + ": the lock is not a regular file");
    }
    std::filesystem::remove(lock);
}

}  // namespace

}  // namespace probelyn
