#include "instances/quit_request.h"

#include "platform/text_format.h"
#include "setup/setup_log.h"

namespace pelko {

void request_quit(Platform& os, const OsString& target) {
    write_log_line(os, format_text(kAskingToQuitLine, target.to_text()));
    OsString command_line = OsString::from_utf8("\"");
    command_line.append(target);
    command_line.append("\" --quit");
    // The outcome is not used: the wait that follows alone decides.
    (void)os.run_program(target, command_line, ProgramWait::until_exit);
}

}  // namespace pelko
