#include "modbus_peer.h"

#include <modbus/modbus.h>
#include <unistd.h>

#include <stdexcept>

namespace probelyn {

ModbusPeer::ModbusPeer(int slave, int baud, int registers) {
    ctx_ = modbus_new_rtu(line_.SlavePath().c_str(), baud, 'N', 8, 1);
    if (ctx_ == nullptr || modbus_set_slave(ctx_, slave) == -1 || modbus_connect(ctx_) == -1) {
        throw std::runtime_error("libmodbus could not open the line");
    }
    // libmodbus has opened and set up the slave; it serves from the master so
    // that the program under test can hold the slave.
    const int own = modbus_get_socket(ctx_);
    modbus_set_socket(ctx_, ::dup(line_.MasterFd()));
    ::close(own);
    // After a request for another slave libmodbus sleeps out its response
    // timeout and flushes; keep that short so the next probe is heard.
    modbus_set_response_timeout(ctx_, 0, 20000);
    modbus_set_indication_timeout(ctx_, 0, 50000);
    mapping_ = modbus_mapping_new(0, 0, registers, 0);
    if (registers > 60) {
        mapping_->tab_registers[60] = 0x4000;
    }
    thread_ = std::thread([this] { Serve(); });
}

ModbusPeer::~ModbusPeer() {
    stop_ = true;
    thread_.join();
    modbus_mapping_free(mapping_);
    modbus_close(ctx_);
    modbus_free(ctx_);
}

std::vector<ModbusPeer::Request> ModbusPeer::Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void ModbusPeer::Serve() {
    uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    while (!stop_) {
        const int length = modbus_receive(ctx_, query);
        if (length <= 0) {
            continue;  // timeout, another slave's request, or a bad frame
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(
                {query[0], query[1], query[2] << 8 | query[3], query[4] << 8 | query[5]});
        }
        modbus_reply(ctx_, query, length, mapping_);
    }
}

}  // namespace probelyn
