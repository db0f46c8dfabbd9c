#include "setup/run_setup.h"

#include <atomic>
#include <utility>

#include "instances/stop_running_instances.h"
#include "payload/unpack/embedded_payload.h"
#include "payload/install/free_space.h"
#include "payload/install/install_payload.h"
#include "platform/path.h"
#include "platform/text_format.h"
#include "registration/shortcut.h"
#include "registration/start_app.h"
#include "registration/uninstall_entry.h"
#include "setup/command_line.h"
#include "setup/failure_report.h"
#include "setup/run_texts.h"
#include "setup/setup_log.h"
#include "shared/os_error_text.h"
#include "shared/product.h"

namespace pelko {
namespace {

// Where the run stands, as the end that memory running out makes needs to know it: the one run
// of the process (set again at the start of each), for an action that may outlive the run's
// frame (another thread may still allocate).
struct RunStage {
    std::atomic<bool> instance_tested{false};  // the single-instance test is made or begun
    std::atomic<bool> reporting{false};        // a failure is being reported
};
constinit RunStage run_stage;

// Ends the run as report_failure does, once: a failure reported while another is reported (its
// memory ran out) ends the process with no second line.
int end_failed_run(Platform& os, const SetupFailure& failure, bool update_mode) {
    if (run_stage.reporting.exchange(true)) os.exit_process(kFailureExitCode);
    return report_failure(os, failure, update_mode);
}

// The end of a run whose memory ran out where no caller can be told: before the single-instance
// test, the test is made first, so that a run that another setup holds off ends as declined.
[[noreturn]] void end_out_of_memory(Platform& os, bool update_mode) {
    if (!run_stage.reporting.load() && !run_stage.instance_tested.exchange(true) &&
        !os.create_named_mutex(kSetupMutexName)) {
        write_log_line(os, kAnotherSetupLine);
        os.exit_process(0);
    }
    const int code = end_failed_run(os, {std::string(kMemoryExhaustedText)}, update_mode);
    os.exit_process(static_cast<std::uint32_t>(code));
    std::unreachable();  // not every compiler sees through the virtual call
}

}  // namespace

int run_setup(Platform& os, const EmbeddedPayload& payload) {
    // 1. Command line.
    const bool update_mode = is_update_mode(read_arguments(os));
    // From here on, memory that runs out anywhere ends the run as a failure, with its line.
    // That ends the process where it happens, as no caller can be told.
    run_stage.instance_tested.store(false);
    run_stage.reporting.store(false);
    os.on_memory_exhausted(
        [](Platform& run_os, std::uintptr_t update) { end_out_of_memory(run_os, update != 0); },
        update_mode ? 1 : 0);
    const auto fail_run = [&](const SetupFailure& failure) {
        return end_failed_run(os, failure, update_mode);
    };

    // 2. Start line, before the single-instance test so that every start leaves it.
    write_log_line(os, format_text(kStartLine, kProductVersion, update_mode));
    os.reached(RunPoint::start_line);

    // 3. Single instance: only the existence of the mutex counts; it is held until exit.
    run_stage.instance_tested.store(true);
    if (!os.create_named_mutex(kSetupMutexName)) {
        write_log_line(os, kAnotherSetupLine);
        return 0;
    }

    // 4. Install directory.
    const std::optional<OsString> local_app_data = os.environment_variable("LOCALAPPDATA");
    if (!local_app_data) {
        return fail_run({std::string(kNoLocalAppDataText)});
    }
    const OsString install_dir = path_join(*local_app_data, kInstallSubdirectory);

    // 5. Check, inflate and read the whole payload; nothing has changed yet.
    PayloadResult<EntryList> entries = unpack_embedded_payload(os, payload);
    if (!entries) return fail_run({payload_failure_text(entries.error())});
    os.reached(RunPoint::read);
    // A volume too small for the files is found before the running app is asked to quit; so
    // is how many files may be staged ahead of the moves and still fit.
    const StepResult<std::size_t> window =
        check_free_space(os, install_dir, *entries, staging_window(os, *entries));
    if (!window) return fail_run(window.error());

    // The Start Menu folder of step 9, known now so that, when a shortcut is to be written, the
    // Shell link object is made ready on another thread while this one stops running copies and
    // installs the files. (Not earlier: while the payload inflates, every processor has work.)
    const std::optional<OsString> programs_dir = start_menu_programs_dir(os);
    if (programs_dir) os.preload_shell_link();

    // 6. Make running copies of the app quit.
    if (const StepResult<void> stopped = stop_running_instances(os, install_dir, update_mode);
        !stopped) {
        return fail_run(stopped.error());
    }
    os.reached(RunPoint::stopped);

    // 7. Install the files.
    const StepResult<std::uint64_t> installed = install_payload(os, install_dir, *entries, *window);
    if (!installed) return fail_run(installed.error());
    entries->clear();
    const std::uint64_t payload_total = *installed;

    // 8. Uninstall entry (a failure is only logged). The texts of the three paths are made once
    // here and shared with the shortcut; the files and the start use the exact paths.
    const OsString app_exe = path_join(install_dir, kAppExecutableName);
    const OsString guard_exe = path_join(install_dir, kGuardExecutableName);
    const std::string install_dir_text = install_dir.to_text();
    const std::string app_exe_text = app_exe.to_text();
    const std::string guard_exe_text = guard_exe.to_text();
    {
        const std::string uninstall = uninstall_command(guard_exe_text);
        const UninstallEntry entry{kDisplayName,     kProductVersion, kPublisher,
                                   install_dir_text, app_exe_text,    uninstall,
                                   estimated_size_kib(payload_total)};
        if (!write_uninstall_entry(os, entry)) write_log_line(os, kEntryNotWrittenLine);
    }
    os.reached(RunPoint::registered);

    // 9. Start Menu shortcut when APPDATA is set (a failure is only logged).
    if (programs_dir) {
        const std::string shortcut = path_join(*programs_dir, kShortcutFileName).to_text();
        if (auto made = create_shortcut(os, shortcut, guard_exe_text, app_exe_text); !made) {
            write_log_line(os, format_text(kShortcutNotWrittenLine, made.error().text));
        }
    }

    os.reached(RunPoint::shortcut);

    // 10. Success line.
    write_log_line(os, format_text(kSuccessLine, kProductVersion, install_dir_text));
    os.reached(RunPoint::success_line);

    // 11. Start the installed app.
    if (const OsResult<void> started = start_installed_app(os, guard_exe); !started) {
        const SetupFailure failure{format_text(kNotStartedText, error_text(os, started.error()))};
        return fail_run(failure);
    }

    // 12. Done.
    return 0;
}

}  // namespace pelko
