#include "setup/failure_report.h"

#include <utility>

#include "platform/text_format.h"

#include "setup/setup_log.h"

namespace pelko {

void report_failure(Platform& os, const SetupFailure& failure, bool update_mode) {
    write_log_line(os, format_text("failed: {}", failure.text));
    if (!update_mode) show_message(os, format_text("Pelko was not installed.\n\n{}", failure.text));
    os.exit_process(1);
    std::unreachable();  // exit_process never returns
}

void show_message(Platform& os, std::string_view text) {
    os.message_box(text, kMessageCaption, kMessageStyle);
}

}  // namespace pelko
