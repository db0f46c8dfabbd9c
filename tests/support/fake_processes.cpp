#include "fake_platform.h"

namespace pelko::testing {

std::vector<ProcessRecord> FakePlatform::process_snapshot() {
    enter("process_snapshot", "");
    std::vector<ProcessRecord> records;
    if (snapshot_fails) return records;
    // This process first, under the file name of its executable.
    const std::string module = module_path.to_text();
    records.push_back(ProcessRecord{process_id, module.substr(module.find_last_of("\\/") + 1)});
    for (const FakeProcess& p : processes) records.push_back(ProcessRecord{p.id, p.name});
    return records;
}

std::optional<std::string> FakePlatform::process_command_line(std::uint32_t id) {
    if (enter("process_command_line", std::to_string(id))) return std::nullopt;
    for (const FakeProcess& p : processes) {
        if (p.id == id) return p.command_line;
    }
    return std::nullopt;
}

bool FakePlatform::path_exists(const OsString& path) {
    if (enter("path_exists", path.to_text())) return false;
    std::string key = normalize(path);
    if (const auto link = links.find(key); link != links.end()) key = link->second;  // followed
    return !key.empty() && (files.contains(key) || directories.contains(key));
}

OsResult<void> FakePlatform::run_program(const OsString& program, const OsString& command_line,
                                         ProgramWait wait) {
    if (program.contains_nul() || command_line.contains_nul()) {
        return std::unexpected(OsError::nul());
    }
    if (const auto code = enter("run_program", program.to_text() + "|" + command_line.to_text())) {
        return std::unexpected(injected_error(*code));
    }
    // Only a path with a directory that ends in ".exe" is started: nothing is searched.
    const std::string key = normalize(program);
    if (key.find('\\') == std::string::npos || !key.ends_with(".exe") || !files.contains(key)) {
        return std::unexpected(os_error_of(2));
    }
    started.push_back(StartedProgram{program.to_text(), command_line.to_text(),
                                     wait == ProgramWait::until_exit});
    if (on_run_program) on_run_program(started.back());
    return {};
}

}  // namespace pelko::testing
