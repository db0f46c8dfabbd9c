#include "fake_platform.h"

namespace pelko::testing {

void FakePlatform::preload_shell_link() { enter("preload_shell_link", ""); }

std::expected<void, ShortcutError> FakePlatform::save_shell_link(const ShellLink& link) {
    enter("save_shell_link", link.file);
    if (shell_link_failure) return std::unexpected(*shell_link_failure);
    const std::string key = normalize(OsString::from_utf8(link.file));
    const std::string parent = parent_key(key);
    if (parent.size() > 2 && !directories.contains(parent)) {
        constexpr HResult kPathNotFound = static_cast<HResult>(0x80070003u);
        const auto message = hresult_messages.find(kPathNotFound);
        return std::unexpected(ShortcutError{
            kPathNotFound,
            shortcut_error_text(kPathNotFound,
                                message == hresult_messages.end() ? u"" : message->second)});
    }
    shortcuts[key] = link;
    return {};
}

}  // namespace pelko::testing
