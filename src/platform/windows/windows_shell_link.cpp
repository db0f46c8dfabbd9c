// Placeholder: not implemented yet.
#include "platform/windows/windows_platform.h"

namespace pelko::win {

constexpr HResult E_NOTIMPL_ = static_cast<HResult>(0x80004001u);

HResult WindowsPlatform::com_initialize() { return E_NOTIMPL_; }
void WindowsPlatform::com_uninitialize() {}
void WindowsPlatform::com_release(ComObject) {}
HResult WindowsPlatform::create_shell_link(ComObject&) { return E_NOTIMPL_; }
HResult WindowsPlatform::shell_link_set_path(ComObject, std::string_view) { return E_NOTIMPL_; }
HResult WindowsPlatform::shell_link_set_working_directory(ComObject, std::string_view) { return E_NOTIMPL_; }
HResult WindowsPlatform::shell_link_set_icon_location(ComObject, std::string_view, int) { return E_NOTIMPL_; }
HResult WindowsPlatform::shell_link_set_description(ComObject, std::string_view) { return E_NOTIMPL_; }
HResult WindowsPlatform::query_persist_file(ComObject, ComObject&) { return E_NOTIMPL_; }
HResult WindowsPlatform::persist_file_save(ComObject, std::string_view, bool) { return E_NOTIMPL_; }
ComObject WindowsPlatform::take_error_info() { return {}; }
std::u16string WindowsPlatform::error_info_message(ComObject) { return {}; }
std::u16string WindowsPlatform::hresult_message(HResult) { return {}; }

}  // namespace pelko::win
