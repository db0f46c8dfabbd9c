#include "platform/windows/win32_error.h"

namespace pelko::win {

OsError win32_error(DWORD code) {
    OsErrorKind kind = OsErrorKind::other;
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            kind = OsErrorKind::not_found;
            break;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            kind = OsErrorKind::already_exists;
            break;
        case ERROR_ACCESS_DENIED:
            kind = OsErrorKind::access_denied;
            break;
        default:
            break;
    }
    return OsError{kind, static_cast<std::uint32_t>(code)};
}

}  // namespace pelko::win
