#include "fake_platform.h"

#include "platform/text_format.h"

namespace pelko::testing {
namespace {

constexpr HResult kPathNotFound = static_cast<HResult>(0x80070003u);

std::optional<HResult> as_hresult(std::optional<std::uint32_t> code) {
    if (!code) return std::nullopt;
    return static_cast<HResult>(*code);
}

}  // namespace

ComObject FakePlatform::new_com_object(const std::string& kind) {
    const std::uintptr_t value = next_com_object_++;
    com_objects[value] = kind;
    return ComObject{value};
}

void FakePlatform::preload_shell_link() { enter("preload_shell_link", ""); }

HResult FakePlatform::com_initialize() {
    return as_hresult(enter("com_initialize", "")).value_or(0);
}

void FakePlatform::com_uninitialize() { enter("com_uninitialize", ""); }

void FakePlatform::com_release(ComObject object) {
    const auto it = com_objects.find(object.value);
    enter("com_release", it == com_objects.end() ? "?" : it->second);
    if (it != com_objects.end()) com_objects.erase(it);
}

HResult FakePlatform::create_shell_link(ComObject& link) {
    if (const auto failed = as_hresult(enter("create_shell_link", ""))) {
        if (*failed < 0) return *failed;
    }
    link = new_com_object("shell_link");
    links_[link.value] = Shortcut{};
    return 0;
}

HResult FakePlatform::shell_link_set_path(ComObject link, std::string_view path) {
    if (const auto failed = as_hresult(enter("shell_link_set_path", std::string(path)))) {
        return *failed;
    }
    links_.at(link.value).target = path;
    return 0;
}

HResult FakePlatform::shell_link_set_working_directory(ComObject link, std::string_view path) {
    if (const auto failed =
            as_hresult(enter("shell_link_set_working_directory", std::string(path)))) {
        return *failed;
    }
    links_.at(link.value).working_directory = path;
    return 0;
}

HResult FakePlatform::shell_link_set_icon_location(ComObject link, std::string_view path,
                                                   int index) {
    if (const auto failed =
            as_hresult(enter("shell_link_set_icon_location", format_text("{},{}", path, index)))) {
        return *failed;
    }
    links_.at(link.value).icon = path;
    links_.at(link.value).icon_index = index;
    return 0;
}

HResult FakePlatform::shell_link_set_description(ComObject link, std::string_view text) {
    if (const auto failed = as_hresult(enter("shell_link_set_description", std::string(text)))) {
        return *failed;
    }
    links_.at(link.value).description = text;
    return 0;
}

HResult FakePlatform::query_persist_file(ComObject link, ComObject& file) {
    if (const auto failed = as_hresult(enter("query_persist_file", ""))) {
        if (*failed < 0) return *failed;
    }
    if (persist_file_missing) return 0;
    file = new_com_object("persist_file");
    persist_links_[file.value] = link.value;
    return 0;
}

HResult FakePlatform::persist_file_save(ComObject file, std::string_view path, bool remember) {
    const std::string argument = format_text("{}{}", path, remember ? " remember" : "");
    if (const auto failed = as_hresult(enter("persist_file_save", argument))) return *failed;
    const std::string key = normalize(OsString::from_utf8(path));
    const std::string parent = parent_key(key);
    if (parent.size() > 2 && !directories.contains(parent)) return kPathNotFound;
    shortcuts[key] = links_.at(persist_links_.at(file.value));
    return 0;
}

ComObject FakePlatform::take_error_info() {
    enter("take_error_info", "");
    if (!pending_error_info) return {};
    const ComObject info = new_com_object("error_info");
    error_info_messages[info.value] = *pending_error_info;
    pending_error_info.reset();
    return info;
}

std::u16string FakePlatform::error_info_message(ComObject info) {
    enter("error_info_message", com_objects.contains(info.value) ? "" : "?");
    const auto it = error_info_messages.find(info.value);
    return it == error_info_messages.end() ? std::u16string() : it->second;
}

std::u16string FakePlatform::hresult_message(HResult result) {
    enter("hresult_message", std::to_string(static_cast<std::uint32_t>(result)));
    const auto it = hresult_messages.find(result);
    return it == hresult_messages.end() ? std::u16string() : it->second;
}

}  // namespace pelko::testing
