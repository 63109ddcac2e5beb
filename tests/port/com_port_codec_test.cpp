// The RFC 2217 client's codec on byte transcripts: what a server sends, what
// goes back, what is data.
#include "com_port_codec.h"

#include <gtest/gtest.h>

#include "byte_string.h"
#include "port_failure.h"

namespace probelyn {

namespace {

constexpr int IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
constexpr int kBinary = 0, kEcho = 1, kSga = 3, kComPort = 44;

struct Taken {
    std::string reply;
    std::string data;
};

Taken Take(ComPortCodec& codec, const std::string& received) {
    Taken taken;
    taken.reply = codec.Take(received, taken.data);
    return taken;
}

// The server's answer to a command: its code plus 100, then the value.
std::string Answer(int command, std::initializer_list<int> value) {
    std::string bytes = Bytes({IAC, SB, kComPort, command + 100});
    bytes += Bytes(value);
    return bytes + Bytes({IAC, SE});
}

TEST(ComPortCodecTest, AgreesWithTheServersGreetingWithoutLooping) {
    ComPortCodec codec;
    EXPECT_EQ(codec.Greeting(), Bytes({IAC, WILL, kBinary, IAC, WILL, kSga, IAC, WILL, kComPort,
                                       IAC, DO, kBinary, IAC, DO, kSga}));
    // What a server sends on connect, crossing the greeting.
    const Taken taken = Take(
        codec, Bytes({IAC,   WILL, kSga, IAC,     DO,  kSga, IAC,     WILL, kEcho, IAC,     DONT,
                      kEcho, IAC,  DO,   kBinary, IAC, WILL, kBinary, IAC,  DO,    kComPort}));
    EXPECT_EQ(taken.reply, Bytes({IAC, DONT, kEcho}));
    EXPECT_EQ(taken.data, "");
    EXPECT_TRUE(codec.Ready());
    EXPECT_EQ(codec.Refusal(), "");
    // Requests that change nothing get no answer; those for options it
    // does not do are refused each time.
    EXPECT_EQ(Take(codec, Bytes({IAC, DO, kSga, IAC, WILL, kBinary, IAC, DONT, kEcho})).reply, "");
    EXPECT_EQ(Take(codec, Bytes({IAC, DO, 24, IAC, WILL, 31})).reply,
              Bytes({IAC, WONT, 24, IAC, DONT, 31}));
    // A command that ends a subnegotiation is still taken.
    EXPECT_EQ(Take(codec, Bytes({IAC, SB, kComPort, 107, 0, IAC, DO, 24})).reply,
              Bytes({IAC, WONT, 24}));
    // An option agreed and then withdrawn by the server is acknowledged.
    EXPECT_EQ(Take(codec, Bytes({IAC, WONT, kSga})).reply, Bytes({IAC, DONT, kSga}));
}

TEST(ComPortCodecTest, AServerThatWillNotCarryTheLineIsRefused) {
    const struct {
        std::string received;
        std::string refusal;
    } rows[] = {
        {Bytes({IAC, DONT, kComPort}), "does not carry a serial line"},
        {Bytes({IAC, DONT, kBinary}), "will not take binary"},
        {Bytes({IAC, WONT, kBinary}), "will not send binary"},
    };
    for (const auto& row : rows) {
        ComPortCodec codec;
        codec.Greeting();
        Take(codec, row.received);
        EXPECT_NE(codec.Refusal().find(row.refusal), std::string::npos) << codec.Refusal();
        EXPECT_FALSE(codec.Ready());
    }
}

TEST(ComPortCodecTest, FFIsDoubledInDataAndInValuesBothWays) {
    ComPortCodec codec;
    EXPECT_EQ(ComPortCodec::Escaped(Bytes({0x01, 0xFF, 0xFF, 0x02})),
              Bytes({0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x02}));
    EXPECT_EQ(codec.Ask(ComCommand::SetBaudRate, 0x000709FF),
              Bytes({IAC, SB, kComPort, 1, 0x00, 0x07, 0x09, 0xFF, 0xFF, IAC, SE}));
    EXPECT_TRUE(codec.Awaiting(ComCommand::SetBaudRate));
    // The answer split across reads, its doubled 0xFF cut in two.
    const std::string answer = Answer(1, {0x00, 0x07, 0x09, 0xFF, 0xFF});
    std::string data;
    codec.Take(answer.substr(0, 8), data);
    EXPECT_TRUE(codec.Awaiting(ComCommand::SetBaudRate));
    codec.Take(answer.substr(8), data);
    EXPECT_FALSE(codec.Awaiting(ComCommand::SetBaudRate));
    EXPECT_EQ(codec.Answer(ComCommand::SetBaudRate), 0x000709FFu);
    EXPECT_EQ(data, "");
}

// Data with commands, notifications nobody asked for and doubled 0xFF in
// it, cut anywhere.
TEST(ComPortCodecTest, CommandsAndNotificationsAreTakenOutOfTheData) {
    const std::string stream = Bytes({0x07, IAC, IAC, 0x03}) + Answer(7, {0x30}) +
                               Bytes({0x04, IAC, 241, 0x40, IAC, SB, 24, 1, IAC, SE, 0x00});
    const std::string expected = Bytes({0x07, 0xFF, 0x03, 0x04, 0x40, 0x00});
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        ComPortCodec codec;
        std::string data;
        codec.Take(stream.substr(0, cut), data);
        codec.Take(stream.substr(cut), data);
        EXPECT_EQ(data, expected) << "cut at " << cut;
    }
}

TEST(ComPortCodecTest, AnswersAreMatchedToTheLastRequest) {
    ComPortCodec codec;
    codec.Ask(ComCommand::SetParity, 2);
    codec.Ask(ComCommand::SetParity, 3);
    std::string data;
    codec.Take(Answer(3, {2}), data);
    EXPECT_TRUE(codec.Awaiting(ComCommand::SetParity));
    codec.Take(Answer(3, {3}) + Answer(4, {1}), data);  // an answer nobody asked for
    EXPECT_FALSE(codec.Awaiting(ComCommand::SetParity));
    EXPECT_EQ(codec.Answer(ComCommand::SetParity), 3u);
    EXPECT_EQ(codec.Answer(ComCommand::SetStopSize), std::nullopt);
}

TEST(ComPortCodecTest, DataOnItsWayBeforeAPurgeIsDropped) {
    ComPortCodec codec;
    EXPECT_EQ(codec.Ask(ComCommand::PurgeData, 1, true),
              Bytes({IAC, SB, kComPort, 12, 1, IAC, SE}));
    std::string data;
    codec.Take(Bytes({0x11, 0x12}) + Answer(12, {1}) + Bytes({0x21}), data);
    EXPECT_EQ(data, Bytes({0x21}));
    codec.Ask(ComCommand::PurgeData, 1, true);
    codec.Take(Bytes({0x31}), data);
    codec.StopDropping();  // no answer came in time
    codec.Take(Bytes({0x32}), data);
    EXPECT_EQ(data, Bytes({0x21, 0x32}));
}

TEST(ComPortCodecTest, LineStateErrorsBecomeMarksWhileListening) {
    const std::string stream = Bytes({0x41}) + Answer(6, {0x08}) + Bytes({0x42, 0xFF, 0xFF}) +
                               Answer(6, {0x61}) + Answer(6, {0x10});
    const struct {
        bool listening;
        std::string data;
    } rows[] = {
        {true, Bytes({0x41, 0xFF, 0x00, 0x00, 0x42, 0xFF, 0xFF, 0xFF, 0x00, 0x00})},
        {false, Bytes({0x41, 0x42, 0xFF})},
    };
    for (const auto& row : rows) {
        ComPortCodec codec;
        codec.MarkErrors(row.listening);
        std::string data;
        codec.Take(stream, data);
        EXPECT_EQ(data, row.data) << row.listening;
    }
}

TEST(ComPortCodecTest, ASubnegotiationThatNeverEndsFails) {
    ComPortCodec codec;
    std::string data;
    const std::string endless = Bytes({IAC, SB, kComPort, 106}) + std::string(1000, 'x');
    try {
        codec.Take(endless, data);
        FAIL() << "taken";
    } catch (const PortFailure& failure) {
        EXPECT_EQ(failure.Error(), LineError::Network);
    }
    // One of the longest a server may send is taken.
    ComPortCodec fine;
    fine.Take(Bytes({IAC, SB}) + std::string(ComPortCodec::kMaxSubnegotiation, 'x') +
                  Bytes({IAC, SE, 0x01}),
              data);
    EXPECT_EQ(data, Bytes({0x01}));
}

}  // namespace

}  // namespace probelyn
