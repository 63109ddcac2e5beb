// probelyn-scan as a script runs it: its own process on simulated instruments
// behind pty links, its output and exit status read as a script reads them.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

#include "bus_line.h"
#include "child_process.h"
#include "instrument.h"
#include "lock_files.h"
#include "probe_frames.h"
#include "pty_line.h"
#include "temp_folder.h"

namespace probelyn {

namespace {

using Args = std::vector<std::string>;

struct Ran {
    int status = -1;
    std::string out;
    std::string err;
};

Ran Scan(const Args& args, const std::function<void()>& inChild = {}) {
    ChildProcess scan;
    scan.Start(PROBELYN_SCAN, args, inChild);
    EXPECT_TRUE(scan.WaitForFinished(60000));
    return {scan.ExitCode(), scan.Out(), scan.Err()};
}

Args operator+(Args a, const Args& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string Joined(const Args& args) {
    std::string text;
    for (const std::string& arg : args) {
        text += (text.empty() ? "" : " ") + arg;
    }
    return text;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

// The text as a JSON string holds it, quotes left off.
std::string Escaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        escaped += c == '\\' ? "\\\\" : c == '"' ? "\\\"" : std::string(1, c);
    }
    return escaped;
}

std::string WithoutTimes(std::string json) {
    const std::string key = "\"elapsed_s\":";
    for (std::size_t at = json.find(key); at != std::string::npos; at = json.find(key, at + 1)) {
        const std::size_t from = at + key.size();
        const std::size_t to = json.find_first_not_of("0123456789.", from);
        json.replace(from, to - from, "T");
    }
    return json;
}

std::string FileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string Canonical(const std::string& path) {
    return std::filesystem::canonical(path).string();
}

// Points standard output at /dev/full, in the child.
void OutputToFullDisk() {
    const int full = ::open("/dev/full", O_WRONLY);
    ::dup2(full, STDOUT_FILENO);
    ::close(full);
}

// A lock in the system's lock folder that says this test's process holds the
// device behind the link, as another program's would; removed when done. The
// link's name is the test's own (see HeldName), so that no other test's line
// is held.
class HeldLock {
  public:
    explicit HeldLock(const std::string& link)
        : path_("/run/lock/LCK.." + std::filesystem::path(link).filename().string()) {
        std::ofstream(path_) << std::to_string(::getpid()) << "\n";
    }
    ~HeldLock() { std::filesystem::remove(path_); }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

  private:
    std::string path_;
};

std::string HeldName() {
    return "ttyProbelynHeld" + std::to_string(::getpid()) + "-";
}

int LinesIn(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

class ScannerTest : public testing::Test {
  protected:
    // An instrument behind a link of a name no real device has (locks go by
    // name).
    std::string Line(const InstrumentConfig& config, const std::string& name = "ttyProbelynScan") {
        instruments_.push_back(std::make_unique<Instrument>(config));
        const std::string link = dir_.FilePath(name + std::to_string(instruments_.size()));
        instruments_.back()->LinkAt(link);
        return link;
    }
    // Starts a scan and returns once the instrument has had its first request.
    static void StartOn(ChildProcess& scan, const Args& args, const Instrument& instrument) {
        scan.Start(PROBELYN_SCAN, args);
        for (int i = 0; i < 500 && instrument.Requests() == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_GT(instrument.Requests(), 0);
    }
    static void Signal(ChildProcess& scan, int signal) {
        ASSERT_GT(scan.Pid(), 0) << "the scan has ended";
        ::kill(scan.Pid(), signal);
    }

    TempFolder dir_;
    std::vector<std::unique_ptr<Instrument>> instruments_;
};

TEST_F(ScannerTest, ExitStatusSaysWhatHappened) {
    const std::string silent = Line({.protocol = Protocol::Modbus, .baud = 460800, .station = 9});
    // Behind a converter: the reply comes 75 ms after the request, past the 70 ms window.
    // One each, so that no late reply waits for the next scan.
    const InstrumentConfig converter{
        .protocol = Protocol::Modbus, .baud = 460800, .station = 1, .delay_ms = 75};
    const std::string late = Line(converter);
    const std::string lateToo = Line(converter);
    const std::string gone = dir_.FilePath("gone");
    const Args quick = {"--framing", "8N1",    "--protocol", "modbus",
                        "--rate",    "460800", "--station"};
    const struct {
        Args args;
        int status;
        std::string said;  // on stderr, whole lines; "" when nothing may be said
    } rows[] = {
        {{"--bogus"}, 2, "probelyn-scan: unknown option '--bogus' (see --help)\n"},
        {Args{"--port", gone} + quick + Args{"1-2"}, 2,
         "probelyn-scan: " + gone +
             ": cannot open at 460800 baud, 8N1: No such file or directory\n"},
        {Args{"--port", silent} + quick + Args{"1-3"}, 1,
         "probelyn-scan: no instrument answered: modbus at 460800 baud, stations 1-3, 8N1, on " +
             silent + ", in "},
        {Args{"--port", silent, "--quiet"} + quick + Args{"1-3"}, 1, ""},
        // One line that cannot be opened beside one that is silent: nothing found.
        {Args{"--port", gone, "--port", silent, "--quiet"} + quick + Args{"1-1"}, 1,
         "probelyn-scan: " + gone +
             ": cannot open at 460800 baud, 8N1: No such file or directory\n"},
        {Args{"--port", silent, "--port", Canonical(silent)} + quick + Args{"8-9"}, 0,
         "probelyn-scan: " + Canonical(silent) + " is the device " + silent +
             " names; it is scanned once\n"},
        {Args{"--port", late} + quick + Args{"1-1", "--quiet"}, 1, ""},
        {Args{"--port", lateToo, "--extra-wait-ms=40"} + quick + Args{"1-1"}, 0, ""},
    };
    for (const auto& row : rows) {
        const Ran ran = Scan(row.args);
        EXPECT_EQ(ran.status, row.status) << Joined(row.args);
        if (row.said.empty()) {
            EXPECT_EQ(ran.err, "") << Joined(row.args);
        } else {
            EXPECT_TRUE(StartsWith(ran.err, row.said)) << ran.err;
        }
    }
}

// Every end signal stops the scan at once, also in the middle of a long reply
// window, closes the line and removes its lock, says so and ends with 128 + n.
TEST_F(ScannerTest, EveryEndSignalClosesTheLines) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const std::string line = Line({.protocol = Protocol::Ascii, .baud = 9600, .station = 999});
        ChildProcess scan;
        StartOn(scan, {"--port", line, "--protocol", "ascii", "--json", "--extra-wait-ms", "10000"},
                *instruments_.back());
        EXPECT_FALSE(LocksFor(line).empty());
        const auto ending = std::chrono::steady_clock::now();
        Signal(scan, signal);
        ASSERT_TRUE(scan.WaitForFinished(10000));
        EXPECT_LT(std::chrono::steady_clock::now() - ending, std::chrono::seconds(3))
            << "the reply window was not cut short";
        EXPECT_FALSE(scan.Crashed());
        EXPECT_EQ(scan.ExitCode(), 128 + signal);
        EXPECT_EQ(WithoutTimes(scan.Out()),
                  "{\"event\":\"aborted\",\"elapsed_s\":T}\n"
                  "{\"event\":\"done\",\"finds\":0,\"elapsed_s\":T}\n");
        EXPECT_TRUE(LocksFor(line).empty());
        EXPECT_EQ(instruments_.back()->Requests(), 1);  // nothing sent after the signal
    }
}

// A second request to end, while the first is being handled, ends at once.
TEST_F(ScannerTest, SecondSignalEndsAtOnce) {
    const std::string line = Line({.protocol = Protocol::Ascii, .baud = 9600, .station = 999});
    ChildProcess scan;
    StartOn(scan, {"--port", line, "--protocol", "ascii"}, *instruments_.back());
    Signal(scan, SIGTERM);
    Signal(scan, SIGINT);
    ASSERT_TRUE(scan.WaitForFinished(10000));
    EXPECT_TRUE(scan.Crashed());
    for (const std::string& lock : LocksFor(line)) {
        std::filesystem::remove(lock);  // left by the program the second signal killed
    }
}

// `probelyn-scan --all --json | head -1`: once the reader is gone the scan
// stops at once, closes its lines and ends with 141, saying nothing.
TEST_F(ScannerTest, ReaderGoneEndsTheScanQuietly) {
    const std::string line = Line({.protocol = Protocol::LyraBus, .baud = 460800, .station = 1});
    int results[2];
    ASSERT_EQ(::pipe(results), 0);
    ChildProcess scan;
    scan.Start(PROBELYN_SCAN,
               {"--port", line, "--protocol", "lyrabus", "--framing", "8N1", "--order", "as-given",
                "--all", "--json", "--extra-wait-ms", "10000"},
               [&results] {
                   ::dup2(results[1], STDOUT_FILENO);
                   ::close(results[0]);
                   ::close(results[1]);
               });
    ::close(results[1]);
    char first[16] = {};
    EXPECT_EQ(::read(results[0], first, 15), 15);
    EXPECT_STREQ(first, "{\"event\":\"found");
    ::close(results[0]);  // as head does once it has its line
    ASSERT_TRUE(scan.WaitForFinished(10000));
    EXPECT_FALSE(scan.Crashed());
    EXPECT_EQ(scan.ExitCode(), 141);
    EXPECT_EQ(scan.Err(), "");
    EXPECT_TRUE(LocksFor(line).empty());
}

// Help into a pipe whose reader has gone: 141, as a pipeline member ends,
// without being killed by SIGPIPE.
TEST_F(ScannerTest, HelpIntoAPipeWithoutReaderEndsAs141) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    ChildProcess help;
    help.Start(PROBELYN_SCAN, {"--help"}, [&ends] { ::dup2(ends[1], STDOUT_FILENO); });
    ::close(ends[1]);
    ASSERT_TRUE(help.WaitForFinished(10000));
    EXPECT_FALSE(help.Crashed());
    EXPECT_EQ(help.ExitCode(), 141);
}

// A result that cannot be written is never a success.
TEST_F(ScannerTest, ResultsThatCannotBeWrittenAreTrouble) {
    const std::string line = Line({.protocol = Protocol::Modbus, .baud = 460800, .station = 1});
    const Args scan = {"--port", line,     "--protocol", "modbus",
                       "--rate", "460800", "--station",  "1-2"};
    const struct {
        const char* name;
        Args args;
        std::function<void()> inChild;
        std::string said;
    } rows[] = {
        {"full disk", scan, &OutputToFullDisk,
         "probelyn-scan: cannot write the results: No space left on device\n"},
        {"stdout closed", scan, [] { ::close(STDOUT_FILENO); },
         "probelyn-scan: standard output is closed; there is nowhere to write the results\n"},
        {"trace on a full disk",
         scan + Args{"--trace", "/dev/full"},
         {},
         "probelyn-scan: cannot write the trace /dev/full: No space left on device\n"},
        {"trace in no folder",
         scan + Args{"--trace", "/nonexistent/trace.jsonl"},
         {},
         "probelyn-scan: cannot write the trace /nonexistent/trace.jsonl: No such file or "
         "directory\n"},
        {"help on a full disk",
         {"--help"},
         &OutputToFullDisk,
         "probelyn-scan: cannot write the results: No space left on device\n"},
    };
    for (const auto& row : rows) {
        const Ran ran = Scan(row.args, row.inChild);
        EXPECT_EQ(ran.status, 2) << row.name;
        EXPECT_EQ(ran.err, row.said) << row.name;
        EXPECT_TRUE(LocksFor(line).empty()) << row.name;
    }
    // With standard error closed nothing can be said: nothing is opened, so
    // that nothing meant for it lands in the line or the trace.
    const std::string trace = dir_.FilePath("trace.jsonl");
    const int requests = instruments_.back()->Requests();
    const Ran mute = Scan(scan + Args{"--trace", trace}, [] { ::close(STDERR_FILENO); });
    EXPECT_EQ(mute.status, 2);
    EXPECT_EQ(instruments_.back()->Requests(), requests);
    EXPECT_FALSE(std::filesystem::exists(trace));
}

// Two lines at once, the instrument on the second: the find in JSON Lines,
// the first line's scan ended by it, and the trace holding the exact bytes.
TEST_F(ScannerTest, TwoLinesAtOnceInJsonWithATrace) {
    const std::string quiet = Line({.protocol = Protocol::Ascii, .baud = 9600, .station = 1});
    // A name JSON must escape.
    const std::string answering =
        Line({.protocol = Protocol::LyraBus, .baud = 460800, .station = 2}, "tty\"Scan\\");
    const std::string trace = dir_.FilePath("trace.jsonl");
    const Ran ran = Scan({"--port", quiet, "--port", answering, "--protocol", "lyrabus", "--rate",
                          "460800", "--station", "1-3", "--json", "--trace", trace});
    EXPECT_EQ(ran.status, 0);
    EXPECT_EQ(WithoutTimes(ran.out),
              "{\"event\":\"found\",\"port\":\"" + Escaped(answering) +
                  "\",\"com\":null,\"protocol\":\"lyrabus\",\"baud\":460800,\"station\":2,"
                  "\"framing\":\"8N1\",\"elapsed_s\":T}\n"
                  "{\"event\":\"done\",\"finds\":1,\"elapsed_s\":T}\n");
    const std::string traced = FileText(trace);
    const std::string where =
        "\"port\":\"" + Escaped(answering) + "\",\"com\":null,\"baud\":460800,\"framing\":\"8N1\",";
    EXPECT_TRUE(Contains(
        traced, where + "\"direction\":\"tx\",\"hex\":\"" + HexText(LyraBusRequest(2)) + "\"}"));
    EXPECT_TRUE(Contains(traced, where + "\"direction\":\"rx\",\"hex\":\"" +
                                     HexText(ReplyFor(Protocol::LyraBus, 2)) + "\"}"));
    EXPECT_FALSE(Contains(traced, "\"hex\":\"\""));  // a silent wait records nothing
    // The quiet line stopped at the find: it never got to its third station.
    EXPECT_FALSE(Contains(traced, HexText(LyraBusRequest(3))));
}

// With --each every line is scanned to its own first find, and the lines
// where nothing answered are named; without it the first find ends them all.
TEST_F(ScannerTest, EachLineIsScannedToItsOwnFind) {
    const std::string late = Line({.protocol = Protocol::Modbus, .baud = 460800, .station = 10});
    const std::string soon = Line({.protocol = Protocol::Modbus, .baud = 230400, .station = 2});
    const std::string silent = Line({.protocol = Protocol::Modbus, .baud = 9600, .station = 2});
    const Args args = {"--port",    late,         "--port",    soon,     "--port",
                       silent,      "--protocol", "modbus",    "--rate", "460800,230400",
                       "--station", "1-10",       "--framing", "8N1"};
    const std::string gone = dir_.FilePath("gone");
    const Ran each = Scan(args + Args{"--each", "--port", gone});
    EXPECT_EQ(each.status, 0);
    EXPECT_TRUE(Contains(each.out, late + " at 460800 baudrate on station 10, 8N1\n")) << each.out;
    EXPECT_TRUE(Contains(each.out, soon + " at 230400 baudrate on station 2, 8N1\n")) << each.out;
    // The line that never opened is said as such, not as one where nothing
    // answered.
    EXPECT_TRUE(Contains(each.err,
                         "probelyn-scan: no instrument answered: modbus at 2 rates "
                         "from 460800 to 230400 baud, stations 1-10, 8N1, on " +
                             silent + ", in "))
        << each.err;
    EXPECT_EQ(LinesIn(each.err), 2) << each.err;
    const Ran first = Scan(args);
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(first.out, "ModBus device on " + soon + " at 230400 baudrate on station 2, 8N1\n");
    EXPECT_EQ(first.err, "");
    EXPECT_EQ(Scan(args + Args{"--each", "--quiet"}).err, "");
}

// Once the likely stations are tried without a find, the scan says so once,
// with what the rest takes.
TEST_F(ScannerTest, NothingAtTheLikelyStationsIsSaidOnce) {
    const std::string line = Line({.protocol = Protocol::Modbus, .baud = 9600, .station = 1});
    const Args args = {"--port",        line,        "--protocol", "modbus",    "--rate",
                       "460800,230400", "--station", "9-12",       "--framing", "8N1"};
    const Ran ran = Scan(args);
    EXPECT_EQ(ran.status, 1);
    EXPECT_TRUE(StartsWith(ran.err, "probelyn-scan: " + line +
                                        ": nothing at stations 9-10 at any setting; the other 2 "
                                        "stations at 2 settings take about 0 s more\n"
                                        "probelyn-scan: no instrument answered: "))
        << ran.err;
    EXPECT_EQ(LinesIn(ran.err), 2) << ran.err;
    EXPECT_EQ(LinesIn(Scan(args + Args{"--order", "as-given"}).err), 1);
    EXPECT_EQ(Scan(args + Args{"--quiet"}).err, "");
    // Not where something was found there.
    const std::string found = Line({.protocol = Protocol::Modbus, .baud = 460800, .station = 9});
    const Ran all = Scan(Args{"--port", found, "--all"} + Args(args.begin() + 2, args.end()));
    EXPECT_EQ(all.status, 0);
    EXPECT_EQ(all.err, "");
}

// With --all the sweep goes on after a find.
TEST_F(ScannerTest, AllGoesOnAfterAFind) {
    const std::string line = Line({.protocol = Protocol::LyraBus, .baud = 460800, .station = 1});
    const std::string trace = dir_.FilePath("all.jsonl");
    const Ran ran = Scan({"--port", line, "--protocol", "lyrabus", "--rate", "460800", "--station",
                          "1-2", "--all", "--trace", trace});
    EXPECT_EQ(ran.status, 0);
    EXPECT_TRUE(Contains(FileText(trace), HexText(LyraBusRequest(2))));
}

// Live buses listened to at once, none of them sent a byte: each identified
// at its setting with its stations; a silent and a noisy line give nothing.
TEST_F(ScannerTest, ListenIdentifiesLiveBusesWithoutWritingToThem) {
    const Framing odd{Parity::Odd, 1};
    std::vector<std::unique_ptr<BusLine>> buses;
    Args args = {"--listen",  "--json",  "--rate",     "115200,76800,19200,9600",
                 "--framing", "8N1,8O1", "--dwell-ms", "400"};
    for (const BusConfig& config : {BusConfig{Protocol::Modbus, {19200, {}}, {3, 7, 12}, {3, 7}},
                                    BusConfig{Protocol::LyraBus, {76800, odd}, {4, 9}, {9}},
                                    BusConfig{Protocol::Ascii, {9600, {}}, {12, 345}, {12, 345}}}) {
        buses.push_back(std::make_unique<BusLine>(config));
        const std::string link = dir_.FilePath("ttyProbelynBus" + std::to_string(buses.size()));
        buses.back()->LinkAt(link);
        args = args + Args{"--port", link};
    }
    const Ran heard = Scan(args);
    EXPECT_EQ(heard.status, 0) << heard.err;
    const std::string out = WithoutTimes(heard.out);
    for (const std::string event :
         {"\"protocol\":\"modbus\",\"baud\":19200,\"framing\":\"8N1\",\"polled\":[3,7,12],"
          "\"answered\":[3,7],",
          "\"protocol\":\"lyrabus\",\"baud\":76800,\"framing\":\"8O1\",\"polled\":[4,9],"
          "\"answered\":[9],",
          "\"protocol\":\"ascii\",\"baud\":9600,\"framing\":\"8N1\",\"polled\":[12,345],"
          "\"answered\":[12,345],"}) {
        EXPECT_TRUE(Contains(out, event)) << out;
    }
    EXPECT_TRUE(Contains(out, "{\"event\":\"done\",\"finds\":3,\"elapsed_s\":T}\n"));
    for (const auto& bus : buses) {
        EXPECT_EQ(bus->BytesWritten(), 0);
    }
    const std::string silent = Line({.protocol = Protocol::Modbus, .baud = 9600, .station = 5});
    const std::string noisy =
        Line({.protocol = Protocol::Modbus, .baud = 9600, .station = 5, .static_noise = true});
    const Ran nothing = Scan({"--listen", "--port", silent, "--port", noisy, "--rate", "19200,9600",
                              "--framing", "8N1", "--dwell-ms", "300"});
    EXPECT_EQ(nothing.status, 1);
    EXPECT_EQ(nothing.out, "");
    EXPECT_TRUE(StartsWith(nothing.err,
                           "probelyn-scan: no traffic heard at any rate: ascii, modbus, "
                           "lyrabus at 2 rates from 19200 to 9600 baud, 8N1, on " +
                               silent + ", " + noisy + ", in "))
        << nothing.err;
    for (const auto& instrument : instruments_) {
        EXPECT_EQ(instrument->Requests(), 0);
    }
}

// A failure no other setting can change is said once, in one line, and ends
// the line's run: a device that is not there, scanned at ten rates or
// listened to at thirty settings, and a line another program holds.
TEST_F(ScannerTest, AFailureNoSettingCanChangeIsSaidOnce) {
    const std::string gone = dir_.FilePath("gone");
    const std::string held =
        Line({.protocol = Protocol::Modbus, .baud = 9600, .station = 1}, HeldName());
    const HeldLock lock(held);
    const struct {
        Args args;
        std::string said;
    } rows[] = {
        {{"--port", gone, "--protocol", "modbus", "--framing", "8N1", "--order", "as-given"},
         "probelyn-scan: " + gone +
             ": cannot open at 460800 baud, 8N1: No such file or directory\n"},
        {{"--listen", "--port", gone},
         "probelyn-scan: " + gone +
             ": cannot listen at 460800 baud, 8N1: No such file or directory\n"},
        {{"--port", held, "--protocol", "modbus", "--json"}, ""},
        {{"--port", held, "--protocol", "modbus", "--framing", "8N1", "--order", "as-given"},
         "probelyn-scan: " + held +
             ": cannot open at 460800 baud, 8N1: The line is busy: process " +
             std::to_string(::getpid())},
    };
    for (const auto& row : rows) {
        const Ran ran = Scan(row.args);
        EXPECT_EQ(ran.status, 2) << Joined(row.args);
        EXPECT_TRUE(StartsWith(ran.err, row.said)) << ran.err;
        EXPECT_EQ(LinesIn(ran.err), row.said.empty() ? 0 : 1) << ran.err;
    }
    if (::getuid() == 0) {  // a technician outside the line's group is told who may open it
        const std::string device = instruments_.back()->Device();
        const Ran refused = Scan({"--port", device, "--framing", "8N1", "--order", "as-given"}, [] {
            ::setgroups(0, nullptr);
            [[maybe_unused]] const int g = ::setgid(65534);
            [[maybe_unused]] const int u = ::setuid(65534);
        });
        EXPECT_EQ(refused.status, 2);
        EXPECT_TRUE(StartsWith(refused.err, "probelyn-scan: " + device +
                                                ": cannot open at 460800 baud, 8N1: Permission "
                                                "denied (owner root, group "))
            << refused.err;
        EXPECT_EQ(LinesIn(refused.err), 1) << refused.err;
    }
    EXPECT_EQ(instruments_.back()->Requests(), 0);
}

// No other program can take a line mid-scan: it stays open and locked from
// one setting to the next (its one lock file all along), as often as the
// likely order changes them.
TEST_F(ScannerTest, NoOtherProgramTakesTheLineMidScan) {
    const std::string line = Line({.protocol = Protocol::Modbus, .baud = 9600, .station = 1});
    ChildProcess scan;
    StartOn(scan,
            {"--port", line, "--protocol", "modbus", "--rate", "460800,230400", "--station", "1-3",
             "--framing", "8N1,8E1,8O1"},
            *instruments_.back());
    // The lock file's inode; 0 while there is none.
    const auto inode = [&] {
        struct stat info {};
        const std::vector<std::string> locks = LocksFor(line);
        return locks.empty() || ::stat(locks.front().c_str(), &info) != 0 ? 0UL : info.st_ino;
    };
    const unsigned long first = inode();
    ASSERT_NE(first, 0UL);
    int tries = 0;
    for (;;) {
        const Ran other = Scan({"--port", line, "--protocol", "modbus", "--rate", "9600",
                                "--station", "1", "--framing", "8N1", "--quiet"});
        const unsigned long now = inode();
        if (scan.WaitForFinished(0)) {
            break;  // the other may have come after the scan's end
        }
        ASSERT_EQ(other.status, 2) << other.out;
        EXPECT_TRUE(Contains(other.err, "The line is busy")) << other.err;
        EXPECT_TRUE(now == first || now == 0) << "the line was locked anew";  // 0: at its end
        ++tries;
    }
    EXPECT_GT(tries, 5);
    EXPECT_EQ(scan.ExitCode(), 1) << scan.Err();
    EXPECT_TRUE(LocksFor(line).empty());
}

// An instrument unplugged mid-scan: the scan ends at once with status 2,
// saying where the line was lost and which settings were not tried.
TEST_F(ScannerTest, ALineLostMidScanIsTrouble) {
    const std::string line = Line({.protocol = Protocol::Modbus, .baud = 9600, .station = 1});
    ChildProcess scan;
    StartOn(scan,
            {"--port", line, "--protocol", "modbus", "--rate", "460800,230400", "--station", "1-50",
             "--framing", "8N1", "--order", "as-given"},
            *instruments_.back());
    instruments_.back()->Vanish();
    ASSERT_TRUE(scan.WaitForFinished(10000));
    EXPECT_EQ(scan.ExitCode(), 2);
    EXPECT_EQ(scan.Out(), "");
    const std::string& err = scan.Err();
    const std::string lost = "probelyn-scan: " + line + ": lost at station ";
    ASSERT_TRUE(StartsWith(err, lost)) << err;
    const std::string station = err.substr(lost.size(), err.find(' ', lost.size()) - lost.size());
    EXPECT_TRUE(StartsWith(err, lost + station + " at 460800 baud, 8N1: ")) << err;
    EXPECT_TRUE(Contains(err, "\nprobelyn-scan: " + line +
                                  ": the scan could not finish; not tried: stations " + station +
                                  "-50 at 460800 baud, 8N1; at 230400 baud, 8N1\n"))
        << err;
    EXPECT_EQ(LinesIn(err), 2) << err;
    EXPECT_TRUE(LocksFor(line).empty());
}

// Ctrl-C or SIGTERM during a listen on a quiet line with a long dwell ends
// it at once, with its status, the line closed and its lock gone.
TEST_F(ScannerTest, AnEndSignalEndsAQuietListenAtOnce) {
    for (const int signal : {SIGINT, SIGTERM}) {
        const std::string line = Line({.protocol = Protocol::Modbus, .baud = 9600, .station = 1});
        ChildProcess listen;
        listen.Start(PROBELYN_SCAN, {"--listen", "--port", line, "--dwell-ms", "60000"});
        for (int i = 0; i < 500 && LocksFor(line).empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_FALSE(LocksFor(line).empty()) << "the listen never opened its line";
        const auto ending = std::chrono::steady_clock::now();
        Signal(listen, signal);
        ASSERT_TRUE(listen.WaitForFinished(10000));
        EXPECT_LT(std::chrono::steady_clock::now() - ending, std::chrono::seconds(3));
        EXPECT_EQ(listen.ExitCode(), 128 + signal);
        EXPECT_TRUE(LocksFor(line).empty());
    }
}

// On a terminal the progress counts every station the scan tries: while the
// first of two stations awaits its reply, half is done.
TEST_F(ScannerTest, ProgressOnATerminalCountsEveryStation) {
    const std::string line = Line({.protocol = Protocol::Modbus, .baud = 9600, .station = 1});
    PtyLine terminal;
    const std::string errorTo = terminal.SlavePath();
    ChildProcess scan;
    scan.Start(PROBELYN_SCAN,
               {"--port", line, "--protocol", "modbus", "--rate", "460800", "--station", "1-2",
                "--framing", "8N1", "--extra-wait-ms", "700"},
               [&errorTo] {
                   const int tty = ::open(errorTo.c_str(), O_WRONLY);
                   ::dup2(tty, STDERR_FILENO);
                   ::close(tty);
               });
    std::string drawn;
    for (int i = 0; i < 20 && !Contains(drawn, "% done"); ++i) {
        drawn += terminal.Receive(100);
    }
    ASSERT_TRUE(scan.WaitForFinished(10000));
    EXPECT_TRUE(Contains(drawn, line + ": 460800 baud, station 1, 50 % done, about 1 s left"))
        << drawn;
}

TEST_F(ScannerTest, OddParityIsFoundInItsOwnSweep) {
    const std::string odd = Line(
        {.protocol = Protocol::Modbus, .baud = 460800, .station = 1, .framing = {Parity::Odd}});
    const Ran ran = Scan({"--port", odd, "--protocol", "modbus", "--rate", "460800", "--station",
                          "1-2", "--framing", "8n1,8o1"});
    EXPECT_EQ(ran.out, "ModBus device on " + odd + " at 460800 baudrate on station 1, 8O1\n");
}

}  // namespace

}  // namespace probelyn
