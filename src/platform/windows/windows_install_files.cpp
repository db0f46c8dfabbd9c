// Placeholder: not implemented yet.
#include "platform/windows/windows_platform.h"

namespace pelko::win {

OsResult<FileHandle> WindowsPlatform::create_for_writing(const OsString&) { return std::unexpected(OsError::from_code(50)); }
OsResult<void> WindowsPlatform::move_replacing(const OsString&, const OsString&) { return std::unexpected(OsError::from_code(50)); }
OsResult<void> WindowsPlatform::delete_file(const OsString&) { return std::unexpected(OsError::from_code(50)); }

}  // namespace pelko::win
