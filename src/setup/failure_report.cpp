#include "setup/failure_report.h"

#include <utility>

#include "platform/text_format.h"

#include "setup/setup_log.h"

namespace pelko {

int report_failure(Platform& os, const SetupFailure& failure, bool update_mode) {
    write_log_line(os, format_text(kFailedLine, failure.text));
    if (!update_mode) show_message(os, format_text(kFailureMessage, failure.text));
    return kFailureExitCode;
}

void show_message(Platform& os, std::string_view text) {
    os.message_box(text, kMessageCaption, kMessageStyle);
}

}  // namespace pelko
