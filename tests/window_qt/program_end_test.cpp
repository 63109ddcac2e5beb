// The system's requests to end the program (SIGTERM, SIGINT, SIGHUP) in each
// state of the program, on the real program path in its own process: it must
// end normally, release the line as it found it and leave no lock behind.
#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <optional>
#include <thread>

#include "instrument.h"
#include "lock_files.h"

namespace probelyn {

namespace {

struct EndCase {
    const char* name;
    int signal;
    QStringList args;
    const char* awaited;  // output line to wait for; none: the program is still starting
    int answeringBaud;    // the instrument answers station 1 at this rate
    // Whether the line is open when the signal comes; during discovery lines
    // open and close by turns, so either may be true.
    std::optional<bool> lockHeld;
    int exitCode = 0;
    bool noDevice = false;  // no serial line at all: the critical box comes up
};

void PrintTo(const EndCase& c, std::ostream* out) {
    *out << c.name;
}

bool AwaitLine(QProcess& program, const QByteArray& line) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 20000) {
        while (program.canReadLine()) {
            if (program.readLine().trimmed() == line) {
                return true;
            }
        }
        program.waitForReadyRead(100);
    }
    return false;
}

// The program on the instrument's line, under a name no real device has
// (locks go by name).
class ProgramRun {
  public:
    explicit ProgramRun(int answeringBaud)
        : instrument_({.protocol = Protocol::Ascii, .baud = answeringBaud, .station = 1}),
          device_(dir_.filePath("ttyProbelynEnd")) {
        instrument_.LinkAt(device_.toStdString());
    }
    ~ProgramRun() {
        for (const std::string& lock : LocksFor(device_.toStdString())) {
            QFile::remove(QString::fromStdString(lock));  // left by a program that a signal killed
        }
    }
    void Start(const QString& device, const QStringList& args) {
        program.start(QStringLiteral(PROGRAM_HARNESS), QStringList{device} + args);
        ASSERT_TRUE(program.waitForStarted());
    }
    // Signals the program, never anything else: once it has ended its process
    // id is 0, which would signal this test's whole process group.
    void Signal(int signal) {
        const auto pid = static_cast<pid_t>(program.processId());
        ASSERT_GT(pid, 0) << "the program has ended";
        ::kill(pid, signal);
    }
    const QString& Device() const { return device_; }

    QProcess program;

  private:
    QTemporaryDir dir_;
    Instrument instrument_;
    QString device_;
};

class ProgramEndTest : public testing::TestWithParam<EndCase> {};

TEST_P(ProgramEndTest, EndsNormallyAndReleasesTheLine) {
    const EndCase& c = GetParam();
    ProgramRun run(c.answeringBaud);
    const QString device = c.noDevice ? run.Device() + "Missing" : run.Device();
    run.Start(device, c.args);
    if (c.awaited != nullptr) {
        ASSERT_TRUE(AwaitLine(run.program, c.awaited)) << c.name;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    if (c.lockHeld.has_value()) {
        EXPECT_EQ(!LocksFor(device.toStdString()).empty(), *c.lockHeld);
    }
    run.Signal(c.signal);

    ASSERT_TRUE(run.program.waitForFinished(10000)) << c.name;
    EXPECT_EQ(run.program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.program.exitCode(), c.exitCode);
    EXPECT_TRUE(LocksFor(device.toStdString()).empty());
}

// A close that stalls (a line that does not drain) must not trap the user: a
// second request ends the program at once.
TEST(ProgramEndSecondSignalTest, EndsAtOnceWhileTheCloseStalls) {
    ProgramRun run(9600);
    run.Start(run.Device(), {"--stall-close", "30000", "--go", "1"});
    ASSERT_TRUE(AwaitLine(run.program, "ready"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    run.Signal(SIGTERM);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    run.Signal(SIGINT);
    ASSERT_TRUE(run.program.waitForFinished(5000));
    EXPECT_EQ(run.program.exitStatus(), QProcess::CrashExit);
}

// Started with SIGHUP ignored (nohup), the program keeps it ignored, also
// after a first request to end has given the other signals their default
// actions back.
TEST(ProgramEndSecondSignalTest, SignalIgnoredAtStartStaysIgnored) {
    ProgramRun run(9600);
    run.program.setChildProcessModifier([] { std::signal(SIGHUP, SIG_IGN); });
    run.Start(run.Device(), {"--stall-close", "2000", "--go", "1"});
    ASSERT_TRUE(AwaitLine(run.program, "ready"));
    run.Signal(SIGHUP);
    EXPECT_FALSE(run.program.waitForFinished(500));
    run.Signal(SIGTERM);  // the close now stalls for two seconds
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    run.Signal(SIGHUP);
    ASSERT_TRUE(run.program.waitForFinished(10000));
    EXPECT_EQ(run.program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.program.exitCode(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    EveryState, ProgramEndTest,
    testing::Values(
        EndCase{"Discovery", SIGTERM, {"--slow-open", "100"}, nullptr, 9600, std::nullopt},
        EndCase{"Idle", SIGINT, {}, "ready", 9600, false},
        EndCase{"Scanning", SIGHUP, {"--go", "1"}, "ready", 9600, true},
        EndCase{"DeviceFoundBox", SIGTERM, {"--go", "1"}, "box", 460800, true},
        EndCase{"NoPortsBox", SIGTERM, {}, "box", 9600, false, 1, true}),
    [](const testing::TestParamInfo<EndCase>& row) { return std::string(row.param.name); });

// A display that is named but has no server: one line, status 2, no abort.
TEST(ProgramStartTest, UnreachableDisplayIsSaidInOneLine) {
    const QString display = QStringLiteral(":473");
    if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X473"))) {
        GTEST_SKIP() << "display :473 exists here";
    }
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("DISPLAY"), display);
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(PROBELYN_PROGRAM), {});
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 2);
    EXPECT_EQ(program.readAllStandardError(),
              "probelyn: no desktop session to show the window in (DISPLAY=:473 leads to no "
              "display server); start Probelyn from a desktop\n");
}

}  // namespace

}  // namespace probelyn
