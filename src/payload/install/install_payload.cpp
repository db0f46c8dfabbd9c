#include "payload/install/install_payload.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "payload/names/file_name_key.h"
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

std::string file_failure_text(const OsString& path, std::string_view error) {
    return format_text("{}: {}", path.to_text(), error);
}

std::unexpected<SetupFailure> file_failure(const OsString& path, std::string_view error) {
    return fail(file_failure_text(path, error));
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

// One entry at a time, on this thread: directory, staging file, move.
StepResult<std::uint64_t> install_one_at_a_time(Platform& os, const OsString& install_dir,
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

// The entries staged ahead of the moves, on every processor. Entries are claimed in payload
// order, at most `window` of them staged and not yet moved; one thread (the mover) moves them
// over their targets in payload order, and stages entries itself while the next one to move is
// not ready. An entry whose staging file or target is the same file (file_name_key) as that of
// an earlier entry not moved yet is not claimed before that entry is moved, so no file is ever
// written by two entries at once. A folder is made by the thread that claims the first entry
// of a run of entries in it, while it claims (so before any file of the run is staged).
//
// On a failure at an entry (its directory, its staging file, its move), nothing more is claimed
// and the mover stops there, as the one-thread path does; once every thread is done, the staging
// files written for later entries are deleted, so that they are left untouched but for a staging
// file that was emptied or replaced. The failure text is the one-thread path's.
class StagedAhead {
public:
    StagedAhead(Platform& os, const OsString& install_dir, std::span<const PayloadEntry> entries,
                std::size_t window)
        : os_(os), install_dir_(install_dir), entries_(entries), slots_(window),
          failed_at_(entries.size()) {}

    StepResult<std::uint64_t> run() {
        std::atomic<bool> mover_taken{false};
        os_.run_concurrently(
            [&] {
                if (!mover_taken.exchange(true)) {
                    move_all();
                } else {
                    stage_ahead();
                }
            },
            os_.processor_count());
        // Every thread is done: what they left is read without the lock.
        if (failed_at_ == entries_.size()) return total_;
        for (std::size_t later = failed_at_ + 1; later < next_; ++later) {
            const Slot& slot = slot_of(later);
            if (slot.state == State::staged || slot.state == State::failed_leaving_file) {
                (void)os_.delete_file(slot.staging);
            }
        }
        return fail(std::move(failure_));
    }

private:
    enum class State : std::uint8_t { waiting, staged, failed, failed_leaving_file };

    // What one entry of the window needs: prepared when it is about to be claimed, then staged.
    struct Slot {
        std::size_t entry = SIZE_MAX;
        OsString target;
        OsString staging;
        std::u16string target_key;
        std::u16string staging_key;
        State state = State::waiting;
        std::string failure;  // the failure text, when it failed
    };

    Slot& slot_of(std::size_t entry) { return slots_[entry % slots_.size()]; }

    static bool share_a_file(const Slot& a, const Slot& b) {
        return a.target_key == b.target_key || a.target_key == b.staging_key ||
               a.staging_key == b.target_key || a.staging_key == b.staging_key;
    }

    void prepare(Slot& slot, std::size_t entry) {
        const std::string& name = entries_[entry].name();
        slot.entry = entry;
        slot.target = path_join(install_dir_, name);
        slot.staging = staging_path(slot.target);
        slot.target_key = file_name_key(name);
        const StagingName staging = staging_name(name);
        std::string staging_text(staging.size(), '\0');
        staging.copy_to(staging_text.data());
        slot.staging_key = file_name_key(staging_text);
        slot.state = State::waiting;
        slot.failure.clear();
    }

    // With the lock held: an entry failed (the first one failing is the run's failure).
    void fail_at(std::size_t entry) {
        failed_at_ = std::min(failed_at_, entry);
        os_.wake_all(monitor_);
    }

    // With the lock held: claims the next entry when it may be staged now (within the window,
    // before a failure, sharing no file with an earlier entry not moved yet), making its folder
    // when the entry before had another. The entry claimed; it is staged next unless its folder
    // failed (then it holds that failure).
    std::optional<std::size_t> claim() {
        const std::size_t entry = next_;
        if (entry >= failed_at_ || entry >= moved_ + slots_.size()) return std::nullopt;
        Slot& slot = slot_of(entry);
        if (slot.entry != entry) prepare(slot, entry);
        // Every entry from moved_ on is claimed, and its slot is its own.
        for (std::size_t earlier = moved_; earlier < entry; ++earlier) {
            if (share_a_file(slot_of(earlier), slot)) return std::nullopt;
        }
        next_ = entry + 1;
        OsString parent = parent_of(slot.target);
        if (parent != made_parent_) {
            if (const OsResult<void> made = create_directory_all(os_, parent); !made) {
                slot.state = State::failed;
                slot.failure = error_text(os_, made.error());
                fail_at(entry);
                return entry;
            }
            made_parent_ = std::move(parent);
        }
        return entry;
    }

    // Without the lock: writes the staging file of a claimed entry, then hands it to the mover.
    void stage(std::size_t entry) {
        Slot& slot = slot_of(entry);  // this thread's alone until it is handed over
        os_.reached(RunPoint::entry_begins);
        State state = State::staged;
        std::string failure;
        const OsResult<FileHandle> file = create_staging_file(os_, slot.staging);
        if (!file) {
            state = State::failed;
            failure = file_failure_text(slot.staging, error_text(os_, file.error()));
        } else {
            const std::optional<std::string> write_error =
                write_all(os_, *file, entries_[entry].data());
            os_.close_file(*file);
            if (write_error) {
                state = State::failed_leaving_file;
                failure = file_failure_text(slot.staging, *write_error);
            } else {
                os_.reached(RunPoint::staged);
            }
        }
        os_.lock(monitor_);
        slot.state = state;
        slot.failure = std::move(failure);
        if (state != State::staged) fail_at(entry);
        os_.wake_all(monitor_);
        os_.unlock(monitor_);
    }

    // With the lock held: claims and stages one entry; false when none may be claimed now.
    bool stage_one() {
        const std::optional<std::size_t> entry = claim();
        if (!entry) return false;
        if (slot_of(*entry).state == State::waiting) {
            os_.unlock(monitor_);
            stage(*entry);
            os_.lock(monitor_);
        }
        return true;
    }

    void stage_ahead() {
        os_.lock(monitor_);
        while (next_ < failed_at_) {
            if (!stage_one()) os_.wait(monitor_);
        }
        os_.unlock(monitor_);
    }

    void move_all() {
        for (std::size_t entry = 0; entry < entries_.size(); ++entry) {
            Slot& slot = slot_of(entry);
            os_.lock(monitor_);
            while (slot.entry != entry || slot.state == State::waiting) {
                if (!stage_one()) os_.wait(monitor_);
            }
            const bool staged = slot.state == State::staged;
            if (!staged) {
                failure_ = slot.failure;
                fail_at(entry);
            }
            os_.unlock(monitor_);
            if (!staged) return;

            os_.reached(RunPoint::moving);
            if (const auto move_error = move_with_retries(os_, slot.staging, slot.target)) {
                (void)os_.delete_file(slot.staging);
                failure_ = file_failure_text(slot.target, *move_error);
                os_.lock(monitor_);
                fail_at(entry);
                os_.unlock(monitor_);
                return;
            }
            os_.reached(RunPoint::moved);
            total_ += entries_[entry].size();
            os_.lock(monitor_);
            moved_ = entry + 1;
            os_.wake_all(monitor_);
            os_.unlock(monitor_);
        }
    }

    Platform& os_;
    const OsString& install_dir_;
    std::span<const PayloadEntry> entries_;
    std::vector<Slot> slots_;  // entry i in slots_[i % window]
    Monitor monitor_;
    // Under the monitor's lock:
    std::size_t next_ = 0;                 // the next entry to claim
    std::size_t moved_ = 0;                // the entries moved
    std::size_t failed_at_;                // the first entry known to fail; entries_.size() if none
    std::optional<OsString> made_parent_;  // the folder of the entry claimed last, made
    // The mover's:
    std::uint64_t total_ = 0;
    std::string failure_;
};

}  // namespace

std::size_t staging_window(Platform& os, std::span<const PayloadEntry> entries) {
    const std::uint32_t processors = os.processor_count();
    if (processors < 2) return 1;
    const std::size_t window = std::min<std::size_t>(kStagedPerProcessor * processors, kMostStaged);
    if (entries.size() <= window) return 1;
    if (entries.size() >= kStagedAheadFromEntries) return window;
    std::uint64_t bytes = 0;
    for (const PayloadEntry& entry : entries) bytes += entry.size();
    return bytes >= kStagedAheadFrom ? window : 1;
}

StepResult<std::uint64_t> install_payload(Platform& os, const OsString& install_dir,
                                          std::span<const PayloadEntry> entries,
                                          std::size_t window) {
    if (window < 2 || entries.size() < 2) return install_one_at_a_time(os, install_dir, entries);
    return StagedAhead(os, install_dir, entries, window).run();
}

}  // namespace pelko
