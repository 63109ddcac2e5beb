#include <libudev.h>

#include <algorithm>
#include <memory>

#include "device_catalogue.h"

namespace probelyn {

namespace {

// A property of the device, '_' made ' ' as udev's encoded names need.
std::string Property(udev_device* device, const char* name, bool spaced) {
    const char* value = ::udev_device_get_property_value(device, name);
    std::string text = value != nullptr ? value : "";
    if (spaced) {
        std::replace(text.begin(), text.end(), '_', ' ');
    }
    return text;
}

}  // namespace

std::vector<std::pair<std::string, DeviceFacts>> KnownSerialDevices() {
    std::vector<std::pair<std::string, DeviceFacts>> known;
    const std::unique_ptr<udev, decltype(&::udev_unref)> context(::udev_new(), &::udev_unref);
    if (!context) {
        return known;
    }
    const std::unique_ptr<udev_enumerate, decltype(&::udev_enumerate_unref)> devices(
        ::udev_enumerate_new(context.get()), &::udev_enumerate_unref);
    if (!devices || ::udev_enumerate_add_match_subsystem(devices.get(), "tty") < 0 ||
        ::udev_enumerate_scan_devices(devices.get()) < 0) {
        return known;
    }
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, ::udev_enumerate_get_list_entry(devices.get())) {
        const std::unique_ptr<udev_device, decltype(&::udev_device_unref)> device(
            ::udev_device_new_from_syspath(context.get(), ::udev_list_entry_get_name(entry)),
            &::udev_device_unref);
        const char* node = device ? ::udev_device_get_devnode(device.get()) : nullptr;
        if (node != nullptr) {
            known.emplace_back(node, DeviceFacts{Property(device.get(), "ID_MODEL", true),
                                                 Property(device.get(), "ID_VENDOR", true),
                                                 Property(device.get(), "ID_SERIAL_SHORT", false),
                                                 {}});
        }
    }
    return known;
}

}  // namespace probelyn
