// probelyn-scan as a script runs it: its own process on simulated instruments
// behind pty links, its output and exit status read as a script reads them.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

#include "instrument.h"
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
    const QStringList quick = {"--protocol", "modbus", "--rate", "460800", "--station"};
    const struct {
        QStringList args;
        int status;
        const char* said;  // on stderr
    } rows[] = {
        {{"--bogus"}, 2, "unknown option '--bogus'"},
        {{"--station", "1-300", "--protocol", "modbus"}, 2, "need --protocol ascii alone"},
        {{"--station", "5-3"}, 2, "--station is A-B with 1 <= A <= B <= 999"},
        {QStringList{"--port", dir_.filePath("gone")} + quick + QStringList{"1-2"}, 2,
         "cannot open at 460800 baud, 8N1"},
        {QStringList{"--port", silent} + quick + QStringList{"1-3"}, 1, ""},
        {QStringList{"--port", silent} + quick + QStringList{"8-9"}, 0, ""},
        {QStringList{"--port", late} + quick + QStringList{"1-1"}, 1, ""},
        {QStringList{"--port", lateToo, "--extra-wait-ms", "40"} + quick + QStringList{"1-1"}, 0,
         ""},
    };
    for (const auto& row : rows) {
        const Ran ran = Scan(row.args);
        EXPECT_EQ(ran.status, row.status) << row.args.join(' ').toStdString();
        EXPECT_TRUE(ran.err.contains(row.said)) << ran.err.toStdString();
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
    QString out = ran.out;
    out.replace(QRegularExpression("\"elapsed_s\":[0-9.]+"), "\"elapsed_s\":T");
    EXPECT_EQ(out.toStdString(),
              "{\"event\":\"found\",\"port\":\"" + Escaped(answering) +
                  "\",\"com\":null,\"protocol\":\"lyrabus\",\"baud\":460800,\"station\":2,"
                  "\"framing\":\"8N1\",\"elapsed_s\":T}\n"
                  "{\"event\":\"done\",\"finds\":1,\"elapsed_s\":T}\n");
    QFile file(trace);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString traced = file.readAll();
    const QString where = QString::fromStdString("\"port\":\"" + Escaped(answering)) +
                          "\",\"baud\":460800,\"framing\":\"8N1\",";
    EXPECT_TRUE(traced.contains(where + "\"direction\":\"tx\",\"hex\":\"" + Hex(LyraBusRequest(2)) +
                                "\"}"));
    EXPECT_TRUE(traced.contains(where + "\"direction\":\"rx\",\"hex\":\"" +
                                Hex(ReplyFor(Protocol::LyraBus, 2)) + "\"}"));
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

TEST_F(ScannerTest, OddParityIsFoundInItsOwnSweep) {
    const QString odd = Line(
        {.protocol = Protocol::Modbus, .baud = 460800, .station = 1, .framing = {Parity::Odd}});
    const Ran ran = Scan({"--port", odd, "--protocol", "modbus", "--rate", "460800", "--station",
                          "1-2", "--framing", "8N1,8O1"});
    EXPECT_EQ(ran.out.toStdString(),
              "ModBus device on " + odd.toStdString() + " at 460800 baudrate on station 1, 8O1\n");
}

TEST_F(ScannerTest, InterruptStopsClosesTheLineAndSaysSo) {
    const QString line = Line({.protocol = Protocol::Ascii, .baud = 9600, .station = 999});
    QProcess scan;
    scan.start(QStringLiteral(PROBELYN_SCAN), {"--port", line, "--protocol", "ascii", "--json"});
    QString lock = line;
    lock = "/run/lock/LCK.." + lock.replace('/', '_');
    for (int i = 0; i < 200 && !QFile::exists(lock); ++i) {
        QThread::msleep(20);
    }
    ::kill(static_cast<pid_t>(scan.processId()), SIGINT);
    ASSERT_TRUE(scan.waitForFinished(10000));
    EXPECT_EQ(scan.exitCode(), 130);
    EXPECT_TRUE(scan.readAllStandardOutput().startsWith("{\"event\":\"aborted\"}\n"));
    EXPECT_FALSE(QFile::exists(lock));
}

}  // namespace
