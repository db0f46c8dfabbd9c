#include "payload/staging_path.h"

#include <string>

namespace pelko {

OsString staging_path(const OsString& target) {
    // WTF-8 keeps '.', '\' and '/' as single bytes that never occur inside a multi-byte sequence.
    const std::string& bytes = target.wtf8();
    const std::size_t separator = bytes.find_last_of("\\/");
    const std::size_t component = separator == std::string::npos ? 0 : separator + 1;
    const std::size_t dot = bytes.find_last_of('.');
    if (dot != std::string::npos && dot > component) {
        return OsString::from_utf8(std::string_view(bytes).substr(0, dot + 1)).append("new");
    }
    OsString staged = target;
    return staged.append(".new");
}

}  // namespace pelko
