// What Windows knows of its COM ports: SetupAPI's friendly name and maker,
// by the port's name ("COM3").
// In this order: the GUIDs of devguid.h are defined where initguid.h is in.
// clang-format off
#include <windows.h>
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>
// clang-format on

#include <memory>

#include "device_catalogue.h"

namespace probelyn {

namespace {

std::string Utf8(const wchar_t* text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    utf8.resize(utf8.find('\0'));
    return utf8;
}

std::string Property(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t text[256] = {};
    if (!::SetupDiGetDeviceRegistryPropertyW(devices, &device, property, nullptr,
                                             reinterpret_cast<BYTE*>(text), sizeof text - 2,
                                             nullptr)) {
        return {};
    }
    return Utf8(text);
}

// The port's name, "COM3", from the device's registry key.
std::string PortName(HDEVINFO devices, SP_DEVINFO_DATA& device) {
    const HKEY key =
        ::SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) {
        return {};
    }
    wchar_t name[64] = {};
    DWORD size = sizeof name - 2;
    const LSTATUS read = ::RegQueryValueExW(key, L"PortName", nullptr, nullptr,
                                            reinterpret_cast<BYTE*>(name), &size);
    ::RegCloseKey(key);
    return read == ERROR_SUCCESS ? Utf8(name) : std::string();
}

}  // namespace

std::vector<std::pair<std::string, DeviceFacts>> KnownSerialDevices() {
    std::vector<std::pair<std::string, DeviceFacts>> known;
    const HDEVINFO devices =
        ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) {
        return known;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
        const std::string port = PortName(devices, device);
        if (!port.empty()) {
            known.emplace_back(port, DeviceFacts{Property(devices, device, SPDRP_FRIENDLYNAME),
                                                 Property(devices, device, SPDRP_MFG),
                                                 {},
                                                 {}});
        }
    }
    ::SetupDiDestroyDeviceInfoList(devices);
    return known;
}

}  // namespace probelyn
