#include "fake_platform.h"

#include "platform/path.h"

#include <algorithm>
#include <thread>

#include "platform/text_format.h"
#include "setup_log_reader.h"

namespace pelko::testing {

FakePlatform::FakePlatform() {
    system_messages = {
        {2, u"The system cannot find the file specified.\r\n"},
        {3, u"The system cannot find the path specified.\r\n"},
        {5, u"Access is denied.\r\n"},
        {32, u"The process cannot access the file because it is being used by another process.\r\n"},
        {112, u"There is not enough space on the disk.\r\n"},
        {183, u"Cannot create a file when that file already exists.\r\n"},
        {681, u"The create operation stopped after reaching a symbolic link.\r\n"},
    };
}

void FakePlatform::add_user() {
    add_directory(std::string(kFakeLocalAppData));
    set_env("LOCALAPPDATA", std::string(kFakeLocalAppData));
}

std::vector<std::string> FakePlatform::user_log() const {
    return log_messages(OsString::from_utf8(kFakeLocalAppData));
}

void FakePlatform::set_env(const std::string& name, const std::string& value) {
    environment[name] = OsString::from_utf8(value);
}

std::string FakePlatform::normalize(const OsString& path) {
    std::string key = path.wtf8();
    for (char& c : key) {
        if (c == '/') c = '\\';
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    while (key.size() > 3 && key.back() == '\\') key.pop_back();
    return key;
}

std::string FakePlatform::parent_key(const std::string& key) const {
    const std::size_t cut = key.find_last_of('\\');
    return cut == std::string::npos ? std::string() : key.substr(0, cut);
}

void FakePlatform::add_directory(const std::string& path) {
    std::string key = normalize(OsString::from_utf8(path));
    while (!key.empty() && key.size() > 2) {
        directories.insert(key);
        key = parent_key(key);
    }
}

bool FakePlatform::has_file(const std::string& path) const {
    return files.contains(normalize(OsString::from_utf8(path)));
}

const std::string& FakePlatform::file(const std::string& path) const {
    const auto it = files.find(normalize(OsString::from_utf8(path)));
    if (it == files.end()) throw std::out_of_range("no file " + path);
    return it->second;
}

std::vector<std::string> FakePlatform::calls_of(std::string_view operation) const {
    std::vector<std::string> found;
    for (const std::string& call : calls) {
        if (call.starts_with(operation) &&
            (call.size() == operation.size() || call[operation.size()] == ' ')) {
            found.push_back(call);
        }
    }
    return found;
}

std::vector<std::string> FakePlatform::log_messages(const OsString& local_app_data) const {
    const auto it = files.find(normalize(path_join(local_app_data, "Pelko\\logs\\setup.log")));
    return it == files.end() ? std::vector<std::string>{} : log_messages_of(it->second);
}

std::optional<std::uint32_t> FakePlatform::enter(std::string_view operation,
                                                 const std::string& argument) {
    const std::lock_guard guard(state_lock_);
    calls.push_back(argument.empty() ? std::string(operation)
                                     : format_text("{} {}", operation, argument));
    if (fail_with) return fail_with(operation, argument);
    return std::nullopt;
}

SharedBytes FakePlatform::allocate(std::size_t size) {
    const std::lock_guard guard(state_lock_);
    if (largest_buffer && size > *largest_buffer) return {};
    // Under the state lock no other allocation comes between the test and the count; a buffer
    // released meanwhile (on any thread, hence the atomic) only lowers it.
    if (memory_limit && *memory_in_use_ + size > *memory_limit) return {};
    *memory_in_use_ += size;
    auto* block = new (new std::byte[sizeof(SharedBytes::Block) + size]) SharedBytes::Block;
    block->size = size;
    // The count is shared with the buffer, which may outlive this platform.
    block->context = new std::shared_ptr<std::atomic<std::uint64_t>>(memory_in_use_);
    block->release = [](SharedBytes::Block* done) {
        auto* in_use = static_cast<std::shared_ptr<std::atomic<std::uint64_t>>*>(done->context);
        **in_use -= done->size;
        delete in_use;
        done->~Block();
        delete[] reinterpret_cast<std::byte*>(done);
    };
    return SharedBytes(block);
}

std::u16string FakePlatform::command_line() {
    const std::lock_guard guard(state_lock_);
    enter("command_line", "");
    return raw_command_line;
}

OsString FakePlatform::module_file_name() {
    const std::lock_guard guard(state_lock_);
    enter("module_file_name", "");
    return module_path;
}

std::optional<OsString> FakePlatform::environment_variable(std::string_view name) {
    const std::lock_guard guard(state_lock_);
    enter("environment_variable", std::string(name));
    const auto it = environment.find(std::string(name));
    if (it == environment.end()) return std::nullopt;
    return it->second;
}

OsResult<void> FakePlatform::create_named_mutex(std::string_view name) {
    const std::lock_guard guard(state_lock_);
    if (const auto code = enter("create_named_mutex", std::string(name))) {
        return std::unexpected(injected_error(*code));
    }
    if (!mutexes.insert(std::string(name)).second) {
        return std::unexpected(os_error_of(183));
    }
    return {};
}

std::uint32_t FakePlatform::current_process_id() { return process_id; }

void FakePlatform::exit_process(std::uint32_t code) {
    enter("exit_process", std::to_string(code));
    throw ProcessExit{code};
}

void FakePlatform::on_memory_exhausted(MemoryAction action, std::uintptr_t context) {
    memory_exhausted_ = action;
    memory_exhausted_context_ = context;
}

void FakePlatform::run_out_of_memory() {
    if (const MemoryAction action = std::exchange(memory_exhausted_, nullptr)) {
        action(*this, memory_exhausted_context_);
    }
    exit_process(1);
    std::unreachable();
}

std::uint64_t FakePlatform::system_time() { return wall_clock; }

MonotonicTime FakePlatform::monotonic_time() {
    const std::lock_guard guard(state_lock_);
    enter("monotonic_time", "");
    return monotonic;
}

void FakePlatform::sleep(std::chrono::milliseconds duration) {
    const std::lock_guard guard(state_lock_);
    enter("sleep", std::to_string(duration.count()));
    const std::uint64_t total_ns =
        monotonic.nanoseconds + static_cast<std::uint64_t>(duration.count()) * 1'000'000ULL;
    monotonic.seconds += total_ns / 1'000'000'000ULL;
    monotonic.nanoseconds = static_cast<std::uint32_t>(total_ns % 1'000'000'000ULL);
    wall_clock += static_cast<std::uint64_t>(duration.count()) * 10'000ULL;
    if (on_sleep) on_sleep();
}

void FakePlatform::run_concurrently(FunctionRef<void()> task, std::uint32_t threads) {
    enter("run_concurrently", std::to_string(threads));
    std::vector<std::thread> others;
    for (std::uint32_t i = 1; i < std::min(threads, std::max(processors, 1u)); ++i) {
        others.emplace_back(task);
    }
    task();
    for (std::thread& other : others) other.join();
}

std::uint32_t FakePlatform::processor_count() { return std::max(processors, 1u); }

void FakePlatform::lock(Monitor&) { monitor_lock_.lock(); }

void FakePlatform::unlock(Monitor&) { monitor_lock_.unlock(); }

void FakePlatform::wait(Monitor&) { monitor_wake_.wait(monitor_lock_); }

void FakePlatform::wake_all(Monitor&) { monitor_wake_.notify_all(); }

OsResult<void> FakePlatform::create_directory(const OsString& path) {
    const std::lock_guard guard(state_lock_);
    if (path.contains_nul()) return std::unexpected(OsError::nul());
    const std::string key = normalize(path);
    if (const auto code = enter("create_directory", path.to_text())) {
        return std::unexpected(injected_error(*code));
    }
    if (directories.contains(key) || files.contains(key)) {
        return std::unexpected(os_error_of(183));
    }
    const std::string parent = parent_key(key);
    if (parent.size() > 2 && !directories.contains(parent)) {
        return std::unexpected(os_error_of(3));
    }
    directories.insert(key);
    return {};
}

bool FakePlatform::is_directory(const OsString& path) {
    const std::lock_guard guard(state_lock_);
    enter("is_directory", path.to_text());
    return directories.contains(normalize(path));
}

OsResult<FileHandle> FakePlatform::open_file(std::string_view operation, const OsString& path,
                                             bool truncate) {
    const std::lock_guard guard(state_lock_);
    if (path.contains_nul()) return std::unexpected(OsError::nul());
    const std::string key = normalize(path);
    if (const auto code = enter(operation, path.to_text())) {
        return std::unexpected(injected_error(*code));
    }
    const std::string parent = parent_key(key);
    if (parent.size() > 2 && !directories.contains(parent)) {
        return std::unexpected(os_error_of(3));
    }
    if (directories.contains(key) || read_only.contains(key)) {
        return std::unexpected(os_error_of(5));
    }
    if (links.contains(key)) return std::unexpected(os_error_of(681));  // never followed
    std::string& contents = files[key];  // created when missing
    if (truncate) contents.clear();
    const std::uintptr_t handle = next_handle_++;
    open_files_[handle] = key;
    return FileHandle{handle};
}

OsResult<FileHandle> FakePlatform::open_for_append(const OsString& path) {
    return open_file("open_for_append", path, false);
}

OsResult<std::uint32_t> FakePlatform::write_file(FileHandle file, std::span<const std::byte> data) {
    const std::lock_guard guard(state_lock_);
    const auto it = open_files_.find(file.value);
    if (it == open_files_.end()) return std::unexpected(os_error_of(6));
    if (const auto code = enter("write_file", format_text("{} {}", it->second, data.size()))) {
        return std::unexpected(injected_error(*code));
    }
    const std::size_t n = std::min<std::size_t>(data.size(), 0xFFFFFFFFu);
    if (disk_size && disk_used() + n > *disk_size) return std::unexpected(os_error_of(112));
    files[it->second].append(reinterpret_cast<const char*>(data.data()), n);
    return static_cast<std::uint32_t>(n);
}

void FakePlatform::close_file(FileHandle file) {
    const std::lock_guard guard(state_lock_);
    const auto it = open_files_.find(file.value);
    enter("close_file", it == open_files_.end() ? "?" : it->second);
    if (it != open_files_.end()) open_files_.erase(it);
}

void FakePlatform::message_box(std::string_view text, std::string_view caption,
                               std::uint32_t style) {
    const std::lock_guard guard(state_lock_);
    enter("message_box", std::string(caption));
    boxes.push_back(Box{std::string(text), std::string(caption), style});
}

OsResult<std::u16string> FakePlatform::system_message(std::uint32_t number, bool from_ntdll) {
    const std::lock_guard guard(state_lock_);
    enter("system_message", format_text("{} {}", number, from_ntdll ? "ntdll" : "system"));
    const auto& table = from_ntdll ? ntdll_messages : system_messages;
    const auto it = table.find(number);
    if (it == table.end()) return std::unexpected(injected_error(317));  // ERROR_MR_MID_NOT_FOUND
    return it->second;
}

}  // namespace pelko::testing
