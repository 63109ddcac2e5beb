#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "pty_line.h"

struct _modbus;
struct _modbus_mapping_t;

namespace probelyn {

// A Modbus RTU server that nobody here wrote: libmodbus answering as slave
// `slave` on its own pseudo-terminal, with `registers` holding registers,
// register 60 (where there is one) holding 0x4000. It serves from a thread
// until destroyed and records each request it decoded.
class ModbusPeer {
  public:
    struct Request {
        int slave;
        int function;
        int address;
        int quantity;
    };

    ModbusPeer(int slave, int baud, int registers = 100);
    ~ModbusPeer();
    ModbusPeer(const ModbusPeer&) = delete;
    ModbusPeer& operator=(const ModbusPeer&) = delete;

    const std::string& Device() const { return line_.SlavePath(); }
    std::vector<Request> Requests();

  private:
    void Serve();

    PtyLine line_;
    _modbus* ctx_ = nullptr;
    _modbus_mapping_t* mapping_ = nullptr;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Request> requests_;
    std::thread thread_;
};

}  // namespace probelyn
