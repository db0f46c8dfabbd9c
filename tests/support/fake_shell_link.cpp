// Placeholder: not implemented yet.
#include "fake_platform.h"

namespace pelko::testing {

constexpr HResult E_NOTIMPL_ = static_cast<HResult>(0x80004001u);

HResult FakePlatform::com_initialize() { return E_NOTIMPL_; }
void FakePlatform::com_uninitialize() {}
void FakePlatform::com_release(ComObject) {}
HResult FakePlatform::create_shell_link(ComObject&) { return E_NOTIMPL_; }
HResult FakePlatform::shell_link_set_path(ComObject, std::string_view) { return E_NOTIMPL_; }
HResult FakePlatform::shell_link_set_working_directory(ComObject, std::string_view) { return E_NOTIMPL_; }
HResult FakePlatform::shell_link_set_icon_location(ComObject, std::string_view, int) { return E_NOTIMPL_; }
HResult FakePlatform::shell_link_set_description(ComObject, std::string_view) { return E_NOTIMPL_; }
HResult FakePlatform::query_persist_file(ComObject, ComObject&) { return E_NOTIMPL_; }
HResult FakePlatform::persist_file_save(ComObject, std::string_view, bool) { return E_NOTIMPL_; }
ComObject FakePlatform::take_error_info() { return {}; }
std::u16string FakePlatform::error_info_message(ComObject) { return {}; }
std::u16string FakePlatform::hresult_message(HResult) { return {}; }

}  // namespace pelko::testing
