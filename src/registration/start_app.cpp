#include "registration/start_app.h"

namespace pelko {

OsResult<void> start_installed_app(Platform& os, const OsString& guard_executable) {
    OsString command_line = OsString::from_utf8("\"");
    command_line.append(guard_executable);
    command_line.append("\"");
    return os.run_program(guard_executable, command_line, ProgramWait::no);
}

}  // namespace pelko
