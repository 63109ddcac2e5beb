// The system's requests to end the program (SIGTERM, SIGINT, SIGHUP) in each
// state of the program, on the real program path in its own process: it must
// end normally, release the line as it found it and leave no lock behind.
#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <optional>
#include <thread>

#include "instrument.h"

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
};

void PrintTo(const EndCase& c, std::ostream* out) {
    *out << c.name;
}

// Lock files that name the device, as Qt and other programs write them.
QStringList LocksFor(const QString& device) {
    QString mangled = device;
    mangled.replace('/', '_');
    QStringList found;
    for (const QString& folder : {QStringLiteral("/var/lock"), QStringLiteral("/run/lock")}) {
        for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::System)) {
            if (name.endsWith(mangled)) {
                found << folder + "/" + name;
            }
        }
    }
    return found;
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

class ProgramEndTest : public testing::TestWithParam<EndCase> {};

TEST_P(ProgramEndTest, EndsNormallyAndReleasesTheLine) {
    const EndCase& c = GetParam();
    QTemporaryDir dir;
    Instrument instrument({.protocol = Protocol::Ascii, .baud = c.answeringBaud, .station = 1});
    // A name no real device has: locks go by name.
    const QString device = dir.filePath("ttyProbelynEnd");
    instrument.LinkAt(device.toStdString());

    QProcess program;
    program.start(QStringLiteral(PROGRAM_HARNESS), QStringList{device} + c.args);
    ASSERT_TRUE(program.waitForStarted());
    if (c.awaited != nullptr) {
        ASSERT_TRUE(AwaitLine(program, c.awaited)) << c.name;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    if (c.lockHeld.has_value()) {
        EXPECT_EQ(!LocksFor(device).isEmpty(), *c.lockHeld);
    }
    ::kill(static_cast<pid_t>(program.processId()), c.signal);

    ASSERT_TRUE(program.waitForFinished(10000)) << c.name;
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(LocksFor(device).isEmpty()) << LocksFor(device).join(' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    EveryState, ProgramEndTest,
    testing::Values(
        EndCase{"Discovery", SIGTERM, {"--slow-open", "100"}, nullptr, 9600, std::nullopt},
        EndCase{"Idle", SIGINT, {}, "ready", 9600, false},
        EndCase{"Scanning", SIGHUP, {"--go", "1"}, "ready", 9600, true},
        EndCase{"DeviceFoundBox", SIGTERM, {"--go", "1"}, "box", 460800, true}),
    [](const testing::TestParamInfo<EndCase>& row) { return std::string(row.param.name); });

}  // namespace
