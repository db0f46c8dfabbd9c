#include "payload/install/install_payload.h"

#include <optional>
#include <string>

#include "payload/names/staging_path.h"
#include "platform/directories.h"
#include "platform/path.h"
#include "platform/text_format.h"
#include "shared/os_error_text.h"

namespace pelko {
namespace {

constexpr std::string_view kShortWriteText = "failed to write whole buffer";

// The target without its last component (what follows the last '\' or '/').
OsString parent_of(const OsString& target) {
    return OsString::from_utf8(before_last_component(target.wtf8()));
}

std::unexpected<SetupFailure> file_failure(const OsString& path, std::string_view error) {
    return fail(format_text("{}: {}", path.to_text(), error));
}

// Writes all of `data` through repeated write calls; a call that writes nothing is an error.
// The text of the failure, or nothing.
std::optional<std::string> write_all(Platform& os, FileHandle file,
                                     std::span<const std::byte> data) {
    while (!data.empty()) {
        const OsResult<std::uint32_t> written = os.write_file(file, data);
        if (!written) return error_text(os, written.error());
        if (*written == 0) return std::string(kShortWriteText);
        data = data.subspan(*written);
    }
    return std::nullopt;
}

// Creates the staging file, or empties the one an earlier run left. A leftover that cannot be
// emptied in place (read-only, or a link, which is never written through) is removed, the link
// itself and not what it leads to, and the file created anew. The first error when it cannot be
// removed.
OsResult<FileHandle> create_staging_file(Platform& os, const OsString& staging) {
    OsResult<FileHandle> file = os.create_for_writing(staging);
    if (file) return file;
    const OsErrorKind kind = file.error().kind;
    if (kind != OsErrorKind::access_denied && kind != OsErrorKind::link) return file;
    if (!os.delete_file(staging)) return file;
    return os.create_for_writing(staging);
}

// Clears the read-only attribute of a target, which a move cannot replace; true when it had it
// and has it no more.
bool clear_read_only(Platform& os, const OsString& target) {
    const OsResult<bool> read_only = os.is_read_only(target);
    return read_only && *read_only && os.set_read_only(target, false);
}

// Moves the staging file over the target, trying up to kMoveAttempts times with a pause after
// every failed attempt; the text of the last attempt's error, or nothing on success. A target
// that is read-only loses that attribute, and the move is tried again at once; it gets it back
// when every attempt fails, so that a failed move leaves the target as it was.
std::optional<std::string> move_with_retries(Platform& os, const OsString& staging,
                                             const OsString& target) {
    std::string last_error;
    bool cleared = false;
    for (int attempt = 0; attempt < kMoveAttempts; ++attempt) {
        OsResult<void> moved = os.move_replacing(staging, target);
        if (!moved && moved.error().kind == OsErrorKind::access_denied && !cleared &&
            clear_read_only(os, target)) {
            cleared = true;
            moved = os.move_replacing(staging, target);
        }
        if (moved) return std::nullopt;
        last_error = error_text(os, moved.error());
        os.sleep(kMovePause);
    }
    if (cleared) (void)os.set_read_only(target, true);
    return last_error;
}

}  // namespace

StepResult<std::uint64_t> install_payload(Platform& os, const OsString& install_dir,
                                          std::span<const PayloadEntry> entries) {
    std::uint64_t total = 0;
    // The parent directory of the entry installed last: it is there (its file was just moved
    // into it), so an entry beside it asks nothing of the file system for it.
    std::optional<OsString> made_parent;
    for (const PayloadEntry& entry : entries) {
        os.reached(RunPoint::entry_begins);
        const OsString target = path_join(install_dir, entry.name());

        OsString parent = parent_of(target);
        if (parent != made_parent) {
            if (const OsResult<void> made = create_directory_all(os, parent); !made) {
                return fail(error_text(os, made.error()));
            }
        }

        const OsString staging = staging_path(target);
        const OsResult<FileHandle> file = create_staging_file(os, staging);
        if (!file) return file_failure(staging, error_text(os, file.error()));

        const std::optional<std::string> write_error = write_all(os, *file, entry.data());
        os.close_file(*file);
        if (write_error) return file_failure(staging, *write_error);
        os.reached(RunPoint::staged);

        if (const auto move_error = move_with_retries(os, staging, target)) {
            (void)os.delete_file(staging);
            return file_failure(target, *move_error);
        }
        os.reached(RunPoint::moved);
        made_parent = std::move(parent);
        total += entry.size();
    }
    return total;
}

}  // namespace pelko
