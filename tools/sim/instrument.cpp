#include "instrument.h"

#include "probe_frames.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace probelyn {

Instrument::Instrument(InstrumentConfig config)
    : config_(config),
      line_(config.serve.empty() ? PtyInstrumentLine()
                                 : ServedInstrumentLine({config.serve, config.baud, config.framing,
                                                         config.answerPurges})) {
    if (::pipe(wake_) == -1) {
        throw std::runtime_error("pipe");
    }
    thread_ = std::thread([this] { Run(); });
}

Instrument::~Instrument() {
    Stop();
    ::close(wake_[0]);
    ::close(wake_[1]);
}

void Instrument::Stop() {
    if (thread_.joinable()) {
        const char stop = 's';
        [[maybe_unused]] const ssize_t n = ::write(wake_[1], &stop, 1);
        thread_.join();
    }
}

void Instrument::Vanish() {
    Stop();
    line_->Vanish();
}

void Instrument::Run() {
    for (;;) {
        std::vector<pollfd> fds{{wake_[0], POLLIN, 0}};
        for (const int fd : line_->Descriptors()) {
            fds.push_back({fd, POLLIN, 0});
        }
        const bool chatty = config_.babble || config_.static_noise;
        const int ready = ::poll(fds.data(), fds.size(), chatty ? 1 : -1);
        if (ready == -1 || (fds[0].revents & POLLIN) != 0 ||
            std::any_of(fds.begin(), fds.end(),
                        [](const pollfd& p) { return p.revents & POLLNVAL; })) {
            return;
        }
        if (config_.babble) {
            line_->Offer(Garbage(&config_.seed));
        }
        if (config_.static_noise) {
            line_->Offer(RandomBytes(&config_.seed));
        }
        if (ready > 0) {
            const std::string bytes = line_->Receive();
            if (config_.echo && !bytes.empty()) {
                line_->Send(bytes);
            }
            Take(bytes);
        }
    }
}

void Instrument::Take(const std::string& bytes) {
    pending_ += bytes;
    for (;;) {
        const Parsed parsed = ParseRequest(config_.protocol, pending_);
        if (parsed.kind == Parsed::NeedMore) {
            return;
        }
        if (parsed.kind == Parsed::Request) {
            Handle(pending_.substr(0, parsed.length), parsed);
        }
        pending_.erase(0, parsed.length);
    }
}

int Instrument::Requests() const {
    const std::lock_guard<std::mutex> lock(seen_mutex_);
    return static_cast<int>(seen_.size());
}

std::vector<Instrument::Seen> Instrument::RequestsSeen() const {
    const std::lock_guard<std::mutex> lock(seen_mutex_);
    return seen_;
}

void Instrument::Handle(const std::string& request, const Parsed& parsed) {
    const auto now = std::chrono::steady_clock::now();
    const int rate = line_->Rate();
    {
        const std::lock_guard<std::mutex> lock(seen_mutex_);
        seen_.push_back({rate, now});
    }
    Log(request, rate);
    if (rate != config_.baud || !line_->FramedAs(config_.framing)) {
        if (config_.noise) {
            line_->Offer(Garbage(&config_.seed));
        }
        return;
    }
    if (config_.protocol == Protocol::Modbus) {
        if (const std::string answer = ModbusAnswer(parsed); !answer.empty()) {
            Answer(answer);
        }
    } else if (parsed.station == config_.station) {
        Answer(ReplyFor(config_.protocol, parsed.station));
    }
}

std::string Instrument::ModbusAnswer(const Parsed& parsed) const {
    if (parsed.station != config_.station) {
        return config_.gateway
                   ? ModbusException(parsed.station, parsed.object >= 0 ? 0x2B : 0x03, 0x0B)
                   : std::string();
    }
    if (parsed.object >= 0) {
        return config_.identity.empty()
                   ? ModbusException(parsed.station, 0x2B, 0x01)
                   : IdentificationAnswer(parsed.station, parsed.object, config_.identity,
                                          config_.identityFault);
    }
    return config_.exception != 0 ? ModbusException(parsed.station, 0x03, config_.exception)
                                  : ModbusRegisterReply(parsed.station, config_.register60);
}

void Instrument::Answer(const std::string& whole) {
    std::this_thread::sleep_for(std::chrono::milliseconds(config_.delay_ms));
    std::string reply = whole;
    if (config_.partial >= 0 && static_cast<std::size_t>(config_.partial) < reply.size()) {
        reply.resize(static_cast<std::size_t>(config_.partial));
    }
    const std::size_t pieces = static_cast<std::size_t>(std::max(config_.pieces, 1));
    const std::size_t size = (reply.size() + pieces - 1) / pieces;
    for (std::size_t at = 0; at < reply.size(); at += size) {
        if (at > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(config_.gap_ms));
        }
        line_->Send(reply.substr(at, size));
    }
    last_answer_ = std::chrono::steady_clock::now().time_since_epoch().count();
}

void Instrument::Log(const std::string& request, int rate) {
    if (config_.log == nullptr) {
        return;
    }
    const std::chrono::duration<double, std::milli> t = std::chrono::steady_clock::now() - started_;
    std::fprintf(config_.log, "%10.3f ms  %6d baud  %s\n", t.count(), rate,
                 HexText(request).c_str());
    std::fflush(config_.log);
}

}  // namespace probelyn
