#pragma once

#include <memory>
#include <stop_token>
#include <string>

#include "com_port_codec.h"
#include "line_backend.h"
#include "network_name.h"
#include "tcp_socket.h"

namespace probelyn {

// A serial line at a server on the network, carried over one TCP
// connection for the line's whole run: made at the first Open, kept when
// the line closes between settings, ended with the backend. Received data
// is held in a bounded buffer of its own; beyond it the bytes wait with the
// system and the server. Every failure names the line as given.
class NetworkLine : public LineBackend {
  public:
    // How long name resolution and connecting may take, each.
    static constexpr std::chrono::milliseconds kConnectLimit{5000};
    // The data held at most.
    static constexpr std::size_t kHeldBytes = 64 * 1024;

    NetworkLine(std::string name, NetworkAddress address, std::stop_token stop);
    ~NetworkLine() override;

    void Close() override;
    int AppliedRate() override { return -1; }
    std::size_t InputCount() override;
    void Read(std::string& into, std::size_t max) override;
    bool WaitForInput(std::chrono::nanoseconds timeout, std::stop_token stop) override;
    LineTiming Timing() const override { return timing_; }

  protected:
    // Connects unless connected; true when it did now.
    bool Connect();
    // Takes what the socket holds into the buffer, while it has room.
    void Pull();
    // Drops what has come, without asking the server.
    void DropWhatCame();
    // What the line makes of bytes received: data into held_, and what goes
    // back to the server.
    virtual std::string Decode(std::string_view received) = 0;
    // Measured: a round trip, and the margin and floor derived from the
    // shortest so far.
    void Measured(std::chrono::nanoseconds roundTrip);
    TcpSocket& Socket() { return *socket_; }

    std::string name_;
    NetworkAddress address_;
    std::stop_token stop_;
    std::string held_;

  private:
    std::unique_ptr<TcpSocket> socket_;
    LineTiming timing_;
};

// Bytes only, at whatever rate and framing the server is set to.
class RawTcpLine : public NetworkLine {
  public:
    using NetworkLine::NetworkLine;

    void Open(const LineSettings& settings) override;
    void ChangeSettings(const LineSettings& settings) override;
    void Write(const std::string& bytes) override;
    void DiscardInput() override;

  private:
    std::string Decode(std::string_view received) override;
};

// Telnet with the COM port option (RFC 2217): the server sets rate, framing
// and modem lines as asked at each Open, and answers each setting: the
// framing is compared with what was asked, the rate given as the rate applied.
class Rfc2217Line : public NetworkLine {
  public:
    // How long an answer of the server may take.
    static constexpr std::chrono::milliseconds kAnswerLimit{1000};

    using NetworkLine::NetworkLine;

    void Open(const LineSettings& settings) override;
    // The settings asked of the server and answered, and what was on its
    // way purged.
    void ChangeSettings(const LineSettings& settings) override;
    // The rate the server answered.
    int AppliedRate() override;
    void Write(const std::string& bytes) override;
    void DiscardInput() override;
    std::size_t InputCount() override;

  private:
    std::string Decode(std::string_view received) override;
    void Negotiate();
    // Sends the settings and waits for their answers.
    void Apply(const LineSettings& settings, bool first);
    // Takes from the server until `done` or the limit; false at the limit.
    template <typename Done>
    bool AwaitServer(Done done);
    // Fails when the server answered another framing than asked (the rate
    // is judged where every line's is).
    void RefuseFramingUnlike(const LineSettings& settings);
    // Times a few more round trips, once the connection's first setting is
    // in place.
    void TimePurges();
    static constexpr int kTimedPurges = 3;
    // After a discard: data is kept again once the purge is answered or its
    // time is up.
    void EndOverduePurge();
    // A purge not answered in time: data is kept again, and discards from
    // then on drop what has come without asking the server.
    void PurgesUnanswered();

    ComPortCodec codec_;
    std::chrono::steady_clock::time_point purgeDeadline_{};
    bool purgesAnswered_ = true;
};

}  // namespace probelyn
