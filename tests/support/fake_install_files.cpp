// Placeholder: not implemented yet.
#include "fake_platform.h"

namespace pelko::testing {

OsResult<FileHandle> FakePlatform::create_for_writing(const OsString&) { return std::unexpected(OsError::from_code(50)); }
OsResult<void> FakePlatform::move_replacing(const OsString&, const OsString&) { return std::unexpected(OsError::from_code(50)); }
OsResult<void> FakePlatform::delete_file(const OsString&) { return std::unexpected(OsError::from_code(50)); }

}  // namespace pelko::testing
