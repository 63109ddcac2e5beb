#include "error_record.h"

namespace probelyn {

bool DependsOnSetting(LineError error) {
    switch (error) {
        case LineError::NoDevice:
        case LineError::DeviceNotFound:
        case LineError::NoAccess:
        case LineError::Refused:
        case LineError::Busy:
        case LineError::LockUnjudged:
        case LineError::Network:
            return false;
        case LineError::None:
        case LineError::SettingRefused:
        case LineError::RateNotApplied:
        case LineError::NotOpen:
        case LineError::Io:
        case LineError::Other:
            break;
    }
    return true;
}

}  // namespace probelyn
