#include <windows.h>

#include "stop_event.h"

namespace probelyn {

StopEvent::StopEvent()
    : native_(reinterpret_cast<std::intptr_t>(::CreateEventW(nullptr, TRUE, FALSE, nullptr))) {}

StopEvent::~StopEvent() {
    callback_.reset();  // before what it sets goes
    ::CloseHandle(reinterpret_cast<HANDLE>(native_));
}

void StopEvent::Set() const {
    ::SetEvent(reinterpret_cast<HANDLE>(native_));
}

void StopEvent::Clear() const {
    ::ResetEvent(reinterpret_cast<HANDLE>(native_));
}

}  // namespace probelyn
