#include "platform/os_error.h"

namespace pelko {

OsError os_error_of(std::uint32_t code) {
    switch (code) {
        case 2:   // ERROR_FILE_NOT_FOUND
        case 3:   // ERROR_PATH_NOT_FOUND
        case 15:  // ERROR_INVALID_DRIVE
        case 53:  // ERROR_BAD_NETPATH
        case 67:  // ERROR_BAD_NET_NAME
            return OsError{OsErrorKind::not_found, code};
        case 80:   // ERROR_FILE_EXISTS
        case 183:  // ERROR_ALREADY_EXISTS
            return OsError{OsErrorKind::already_exists, code};
        case 5:  // ERROR_ACCESS_DENIED
            return OsError{OsErrorKind::access_denied, code};
        case 681:  // ERROR_STOPPED_ON_SYMLINK
            return OsError{OsErrorKind::link, code};
        default:
            return OsError{OsErrorKind::other, code};
    }
}

}  // namespace pelko
