// probelyn-scan as a script runs it: its own process on simulated instruments
// behind pty links, its output and exit status read as a script reads them.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

#include "bus_line.h"
#include "instrument.h"
#include "lock_files.h"
#include "probe_frames.h"

namespace {

struct Ran {
    int status = -1;
    QString out;
    QString err;
};

Ran Scan(const QStringList& args) {
    QProcess scan;
    scan.start(QStringLiteral(PROBELYN_SCAN), args);
    EXPECT_TRUE(scan.waitForFinished(60000));
    return {scan.exitCode(), scan.readAllStandardOutput(), scan.readAllStandardError()};
}

// The text as a JSON string holds it, quotes left off.
std::string Escaped(QString text) {
    return text.replace("\\", "\\\\").replace("\"", "\\\"").toStdString();
}

QString Hex(const std::string& bytes) {
    return QString::fromStdString(HexText(bytes));
}

QString WithoutTimes(QString json) {
    return json.replace(QRegularExpression("\"elapsed_s\":[0-9.]+"), "\"elapsed_s\":T");
}

class ScannerTest : public testing::Test {
  protected:
    // An instrument behind a link of a name no real device has (locks go by
    // name).
    QString Line(const InstrumentConfig& config, const QString& name = "ttyProbelynScan") {
        instruments_.push_back(std::make_unique<Instrument>(config));
        const QString link = dir_.filePath(name + QString::number(instruments_.size()));
        instruments_.back()->LinkAt(link.toStdString());
        return link;
    }
    // Starts a scan and returns once the instrument has had its first request.
    void StartOn(QProcess& scan, const QStringList& args, const Instrument& instrument) {
        scan.start(QStringLiteral(PROBELYN_SCAN), args);
        for (int i = 0; i < 500 && instrument.Requests() == 0; ++i) {
            QThread::msleep(10);
        }
        ASSERT_GT(instrument.Requests(), 0);
    }
    static void Signal(QProcess& scan, int signal) {
        const auto pid = static_cast<pid_t>(scan.processId());
        ASSERT_GT(pid, 0) << "the scan has ended";
        ::kill(pid, signal);
    }

    QTemporaryDir dir_;
    std::vector<std::unique_ptr<Instrument>> instruments_;
};

TEST_F(ScannerTest, ExitStatusSaysWhatHappened) {
    const QString silent = Line({.protocol = Protocol::Modbus, .baud = 460800, .station = 9});
    // Behind a converter: the reply comes 75 ms after the request, past the 70 ms window.
    // One each, so that no late reply waits for the next scan.
    const InstrumentConfig converter{
        .protocol = Protocol::Modbus, .baud = 460800, .station = 1, .delay_ms = 75};
    const QString late = Line(converter);
    const QString lateToo = Line(converter);
    const QString gone = dir_.filePath("gone");
    const QStringList quick = {"--protocol", "modbus", "--rate", "460800", "--station"};
    const struct {
        QStringList args;
        int status;
        QString said;  // on stderr, whole lines; "" when nothing may be said
    } rows[] = {
        {{"--bogus"}, 2, "probelyn-scan: unknown option '--bogus' (see --help)\n"},
        {QStringList{"--port", gone} + quick + QStringList{"1-2"}, 2,
         "probelyn-scan: " + gone +
             ": cannot open at 460800 baud, 8N1: No such file or directory\n"},
        {QStringList{"--port", silent} + quick + QStringList{"1-3"}, 1,
         "probelyn-scan: no instrument answered: modbus at 460800 baud, stations 1-3, 8N1, on " +
             silent + ", in "},
        {QStringList{"--port", silent, "--quiet"} + quick + QStringList{"1-3"}, 1, ""},
        // One line that cannot be opened beside one that is silent: nothing found.
        {QStringList{"--port", gone, "--port", silent, "--quiet"} + quick + QStringList{"1-1"}, 1,
         "probelyn-scan: " + gone +
             ": cannot open at 460800 baud, 8N1: No such file or directory\n"},
        {QStringList{"--port", silent, "--port", QFileInfo(silent).canonicalFilePath()} + quick +
             QStringList{"8-9"},
         0,
         "probelyn-scan: " + QFileInfo(silent).canonicalFilePath() + " is the device " + silent +
             " names; it is scanned once\n"},
        {QStringList{"--port", late} + quick + QStringList{"1-1", "--quiet"}, 1, ""},
        {QStringList{"--port", lateToo, "--extra-wait-ms=40"} + quick + QStringList{"1-1"}, 0, ""},
    };
    for (const auto& row : rows) {
        const Ran ran = Scan(row.args);
        EXPECT_EQ(ran.status, row.status) << row.args.join(' ').toStdString();
        if (row.said.isEmpty()) {
            EXPECT_EQ(ran.err, "") << row.args.join(' ').toStdString();
        } else {
            EXPECT_TRUE(ran.err.startsWith(row.said)) << ran.err.toStdString();
        }
    }
}

// Every end signal stops the scan at once, also in the middle of a long reply
// window, closes the line and removes its lock, says so and ends with 128 + n.
TEST_F(ScannerTest, EveryEndSignalClosesTheLines) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const QString line = Line({.protocol = Protocol::Ascii, .baud = 9600, .station = 999});
        QProcess scan;
        StartOn(scan, {"--port", line, "--protocol", "ascii", "--json", "--extra-wait-ms", "10000"},
                *instruments_.back());
        EXPECT_FALSE(LocksFor(line).isEmpty());
        QElapsedTimer ending;
        ending.start();
        Signal(scan, signal);
        ASSERT_TRUE(scan.waitForFinished(10000));
        EXPECT_LT(ending.elapsed(), 3000) << "the reply window was not cut short";
        EXPECT_EQ(scan.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(scan.exitCode(), 128 + signal);
        EXPECT_EQ(WithoutTimes(scan.readAllStandardOutput()),
                  "{\"event\":\"aborted\",\"elapsed_s\":T}\n"
                  "{\"event\":\"done\",\"finds\":0,\"elapsed_s\":T}\n");
        EXPECT_TRUE(LocksFor(line).isEmpty()) << LocksFor(line).join(' ').toStdString();
        EXPECT_EQ(instruments_.back()->Requests(), 1);  // nothing sent after the signal
    }
}

// A second request to end, while the first is being handled, ends at once.
TEST_F(ScannerTest, SecondSignalEndsAtOnce) {
    const QString line = Line({.protocol = Protocol::Ascii, .baud = 9600, .station = 999});
    QProcess scan;
    StartOn(scan, {"--port", line, "--protocol", "ascii"}, *instruments_.back());
    Signal(scan, SIGTERM);
    Signal(scan, SIGINT);
    ASSERT_TRUE(scan.waitForFinished(10000));
    EXPECT_EQ(scan.exitStatus(), QProcess::CrashExit);
    for (const QString& lock : LocksFor(line)) {
        QFile::remove(lock);  // left by the program the second signal killed
    }
}

// `probelyn-scan --all --json | head -1`: once the reader is gone the scan
// stops at once, closes its lines and ends with 141, saying nothing.
TEST_F(ScannerTest, ReaderGoneEndsTheScanQuietly) {
    const QString line = Line({.protocol = Protocol::LyraBus, .baud = 460800, .station = 1});
    int results[2];
    ASSERT_EQ(::pipe(results), 0);
    QProcess scan;
    scan.setChildProcessModifier([&results] {
        ::dup2(results[1], STDOUT_FILENO);
        ::close(results[0]);
    });
    scan.start(QStringLiteral(PROBELYN_SCAN), {"--port", line, "--protocol", "lyrabus", "--all",
                                               "--json", "--extra-wait-ms", "10000"});
    ::close(results[1]);
    char first[16] = {};
    EXPECT_EQ(::read(results[0], first, 15), 15);
    EXPECT_STREQ(first, "{\"event\":\"found");
    ::close(results[0]);  // as head does once it has its line
    ASSERT_TRUE(scan.waitForFinished(10000));
    EXPECT_EQ(scan.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(scan.exitCode(), 141);
    EXPECT_EQ(scan.readAllStandardError(), "");
    EXPECT_TRUE(LocksFor(line).isEmpty()) << LocksFor(line).join(' ').toStdString();
}

// Help into a pipe whose reader has gone: 141, as a pipeline member ends,
// without being killed by SIGPIPE.
TEST_F(ScannerTest, HelpIntoAPipeWithoutReaderEndsAs141) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    QProcess help;
    help.setChildProcessModifier([&ends] { ::dup2(ends[1], STDOUT_FILENO); });
    help.start(QStringLiteral(PROBELYN_SCAN), {"--help"});
    ::close(ends[1]);
    ASSERT_TRUE(help.waitForFinished(10000));
    EXPECT_EQ(help.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(help.exitCode(), 141);
}

// A result that cannot be written is never a success.
TEST_F(ScannerTest, ResultsThatCannotBeWrittenAreTrouble) {
    const QString line = Line({.protocol = Protocol::Modbus, .baud = 460800, .station = 1});
    const QStringList scan = {"--port", line,     "--protocol", "modbus",
                              "--rate", "460800", "--station",  "1-2"};
    const struct {
        const char* name;
        QStringList args;
        std::function<void(QProcess&)> setUp;
        QString said;
    } rows[] = {
        {"full disk", scan, [](QProcess& p) { p.setStandardOutputFile("/dev/full"); },
         "probelyn-scan: cannot write the results: No space left on device\n"},
        {"stdout closed", scan,
         [](QProcess& p) { p.setChildProcessModifier([] { ::close(STDOUT_FILENO); }); },
         "probelyn-scan: standard output is closed; there is nowhere to write the results\n"},
        {"trace on a full disk", scan + QStringList{"--trace", "/dev/full"}, [](QProcess&) {},
         "probelyn-scan: cannot write the trace /dev/full: No space left on device\n"},
        {"trace in no folder", scan + QStringList{"--trace", "/nonexistent/trace.jsonl"},
         [](QProcess&) {},
         "probelyn-scan: cannot write the trace /nonexistent/trace.jsonl: No such file or "
         "directory\n"},
        {"help on a full disk",
         {"--help"},
         [](QProcess& p) { p.setStandardOutputFile("/dev/full"); },
         "probelyn-scan: cannot write the results: No space left on device\n"},
    };
    for (const auto& row : rows) {
        QProcess process;
        row.setUp(process);
        process.start(QStringLiteral(PROBELYN_SCAN), row.args);
        ASSERT_TRUE(process.waitForFinished(20000)) << row.name;
        EXPECT_EQ(process.exitCode(), 2) << row.name;
        EXPECT_EQ(process.readAllStandardError(), row.said) << row.name;
        EXPECT_TRUE(LocksFor(line).isEmpty()) << row.name;
    }
}

// Two lines at once, the instrument on the second: the find in JSON Lines,
// the first line's scan ended by it, and the trace holding the exact bytes.
TEST_F(ScannerTest, TwoLinesAtOnceInJsonWithATrace) {
    const QString quiet = Line({.protocol = Protocol::Ascii, .baud = 9600, .station = 1});
    // A name JSON must escape.
    const QString answering =
        Line({.protocol = Protocol::LyraBus, .baud = 460800, .station = 2}, "tty\"Scan\\");
    const QString trace = dir_.filePath("trace.jsonl");
    const Ran ran = Scan({"--port", quiet, "--port", answering, "--protocol", "lyrabus", "--rate",
                          "460800", "--station", "1-3", "--json", "--trace", trace});
    EXPECT_EQ(ran.status, 0);
    EXPECT_EQ(WithoutTimes(ran.out).toStdString(),
              "{\"event\":\"found\",\"port\":\"" + Escaped(answering) +
                  "\",\"com\":null,\"protocol\":\"lyrabus\",\"baud\":460800,\"station\":2,"
                  "\"framing\":\"8N1\",\"elapsed_s\":T}\n"
                  "{\"event\":\"done\",\"finds\":1,\"elapsed_s\":T}\n");
    QFile file(trace);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString traced = file.readAll();
    const QString where = QString::fromStdString("\"port\":\"" + Escaped(answering)) +
                          "\",\"com\":null,\"baud\":460800,\"framing\":\"8N1\",";
    EXPECT_TRUE(traced.contains(where + "\"direction\":\"tx\",\"hex\":\"" + Hex(LyraBusRequest(2)) +
                                "\"}"));
    EXPECT_TRUE(traced.contains(where + "\"direction\":\"rx\",\"hex\":\"" +
                                Hex(ReplyFor(Protocol::LyraBus, 2)) + "\"}"));
    EXPECT_FALSE(traced.contains("\"hex\":\"\""));  // a silent wait records nothing
    // The quiet line stopped at the find: it never got to its third station.
    EXPECT_FALSE(traced.contains(Hex(LyraBusRequest(3))));
}

// With --all the sweep goes on after a find.
TEST_F(ScannerTest, AllGoesOnAfterAFind) {
    const QString line = Line({.protocol = Protocol::LyraBus, .baud = 460800, .station = 1});
    const QString trace = dir_.filePath("all.jsonl");
    const Ran ran = Scan({"--port", line, "--protocol", "lyrabus", "--rate", "460800", "--station",
                          "1-2", "--all", "--trace", trace});
    EXPECT_EQ(ran.status, 0);
    QFile file(trace);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains(Hex(LyraBusRequest(2)).toLatin1()));
}

// Live buses listened to at once, none of them sent a byte: each identified
// at its setting with its stations; a silent and a noisy line give nothing.
TEST_F(ScannerTest, ListenIdentifiesLiveBusesWithoutWritingToThem) {
    const Framing odd{Parity::Odd, 1};
    std::vector<std::unique_ptr<BusLine>> buses;
    QStringList args = {"--listen",  "--json",  "--rate",     "115200,76800,19200,9600",
                        "--framing", "8N1,8O1", "--dwell-ms", "400"};
    for (const BusConfig& config : {BusConfig{Protocol::Modbus, {19200, {}}, {3, 7, 12}, {3, 7}},
                                    BusConfig{Protocol::LyraBus, {76800, odd}, {4, 9}, {9}},
                                    BusConfig{Protocol::Ascii, {9600, {}}, {12, 345}, {12, 345}}}) {
        buses.push_back(std::make_unique<BusLine>(config));
        const QString link = dir_.filePath(QString("ttyProbelynBus%1").arg(buses.size()));
        buses.back()->LinkAt(link.toStdString());
        args << "--port" << link;
    }
    const Ran heard = Scan(args);
    EXPECT_EQ(heard.status, 0) << heard.err.toStdString();
    const QString out = WithoutTimes(heard.out);
    for (const QString& event :
         {QString("\"protocol\":\"modbus\",\"baud\":19200,\"framing\":\"8N1\",\"polled\":[3,7,12],"
                  "\"answered\":[3,7],"),
          QString("\"protocol\":\"lyrabus\",\"baud\":76800,\"framing\":\"8O1\",\"polled\":[4,9],"
                  "\"answered\":[9],"),
          QString("\"protocol\":\"ascii\",\"baud\":9600,\"framing\":\"8N1\",\"polled\":[12,345],"
                  "\"answered\":[12,345],")}) {
        EXPECT_TRUE(out.contains(event)) << out.toStdString();
    }
    EXPECT_TRUE(out.endsWith("{\"event\":\"done\",\"finds\":3,\"elapsed_s\":T}\n"));
    for (const auto& bus : buses) {
        EXPECT_EQ(bus->BytesWritten(), 0);
    }
    const QString silent = Line({.protocol = Protocol::Modbus, .baud = 9600, .station = 5});
    const QString noisy =
        Line({.protocol = Protocol::Modbus, .baud = 9600, .station = 5, .static_noise = true});
    const Ran nothing = Scan({"--listen", "--port", silent, "--port", noisy, "--rate", "19200,9600",
                              "--framing", "8N1", "--dwell-ms", "300"});
    EXPECT_EQ(nothing.status, 1);
    EXPECT_EQ(nothing.out, "");
    EXPECT_TRUE(
        nothing.err.startsWith("probelyn-scan: no traffic heard at any rate: ascii, modbus, "
                               "lyrabus at 2 rates from 19200 to 9600 baud, 8N1, on " +
                               silent + ", " + noisy + ", in "))
        << nothing.err.toStdString();
    for (const auto& instrument : instruments_) {
        EXPECT_EQ(instrument->Requests(), 0);
    }
}

TEST_F(ScannerTest, OddParityIsFoundInItsOwnSweep) {
    const QString odd = Line(
        {.protocol = Protocol::Modbus, .baud = 460800, .station = 1, .framing = {Parity::Odd}});
    const Ran ran = Scan({"--port", odd, "--protocol", "modbus", "--rate", "460800", "--station",
                          "1-2", "--framing", "8n1,8o1"});
    EXPECT_EQ(ran.out.toStdString(),
              "ModBus device on " + odd.toStdString() + " at 460800 baudrate on station 1, 8O1\n");
}

}  // namespace
