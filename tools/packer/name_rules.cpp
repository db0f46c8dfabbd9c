#include "name_rules.h"

#include <cstdio>
#include <map>
#include <new>

#include "payload/container/container_format.h"
#include "payload/names/file_name_key.h"
#include "payload/names/name_clash.h"
#include "payload/names/payload_name.h"
#include "payload/names/staging_path.h"
#include "platform/os_string.h"

namespace pelko::packer {
namespace {

std::unexpected<std::string> bad(std::string_view name, std::string_view reason) {
    return std::unexpected("bad name " + shown_name(name) + " (" + std::string(reason) + ")");
}

std::string_view fault_reason(NameFault fault) {
    switch (fault) {
    case NameFault::none: break;
    case NameFault::dot_dot: return "\"..\" is not allowed anywhere in a name";
    case NameFault::absolute:
        return "an absolute path; names are relative to the install directory";
    case NameFault::not_plain:
        return "not a plain relative file path: empty, or beginning with a separator or a drive, "
               "or ending in a separator or \".\"";
    case NameFault::stream: return "\":\" would write an alternate data stream of another file";
    case NameFault::device:
        return "a component that Windows takes for a device, such as CON, NUL.txt or COM1";
    }
    return "";
}

}  // namespace

std::string shown_name(std::string_view name) {
    std::string shown;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
            shown += escaped;
        } else {
            shown += c;
        }
    }
    return shown;
}

std::expected<void, std::string> check_windows_characters(std::string_view name) {
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20) {
            char reason[80];
            std::snprintf(reason, sizeof reason,
                          "holds the control character U+%04X, which Windows does not allow in "
                          "a file name", byte);
            return bad(name, reason);
        }
        if (std::string_view("<>\"|?*").find(c) != std::string_view::npos) {
            return bad(name, std::string("holds ") + c +
                                 ", which Windows does not allow in a file name");
        }
    }
    return {};
}

std::expected<void, std::string> check_name(std::string_view name) {
    const std::string shown = shown_name(name);
    if (name.size() > kMaxNameBytes) {
        return std::unexpected("name too long for 16 bits (" + std::to_string(name.size()) +
                               " bytes): " + shown.substr(0, 60) + "...");
    }
    if (!is_valid_utf8(name)) return std::unexpected("name is not valid UTF-8: " + shown);
    if (const NameFault fault = payload_name_fault(name); fault != NameFault::none) {
        return bad(name, fault_reason(fault));
    }
    return check_windows_characters(name);
}

std::expected<void, std::string> check_manifest_name(std::string_view name) {
    if (auto checked = check_name(name); !checked) return checked;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = name.find_first_of("\\/", start);
        const std::string_view component = name.substr(start, end - start);
        if (component.empty()) return bad(name, "an empty component");
        if (component.back() == '.' || component.back() == ' ') {
            return bad(name, "the component \"" + std::string(component) +
                                 "\" ends in a dot or a blank, which Windows drops");
        }
        if (end == std::string_view::npos) return {};
        start = end + 1;
    }
}

std::vector<NameProblem> clash_problems(std::span<const std::string_view> names,
                                        const std::function<std::string(std::size_t)>& label) {
    std::vector<NameProblem> problems;
    const auto checked = find_name_clashes(
        names.size(), [&](std::size_t i) { return names[i]; }, heap_memory(),
        [&](const NameClash& clash) {
            const std::string name(names[clash.entry]);
            const std::string other = std::string(names[clash.other]) + label(clash.other);
            const StagingName staging = staging_name(name);
            const std::string written_as =
                "it is written first as " + std::string(staging.kept) +
                std::string(staging.added) + ", which is ";
            const std::string why = " (the installer writes each file beside its target with "
                                    "the extension \"new\" and then moves it over the target)";
            std::string text = "bad name " + name + ": ";
            switch (clash.kind) {
            case NameClashKind::staging_is_file:
                text += written_as +
                        (clash.other == clash.entry ? std::string("the file itself")
                                                    : "the file " + other) + why;
                break;
            case NameClashKind::staging_is_directory:
                text += written_as + "a directory of " + other + why;
                break;
            case NameClashKind::file_is_directory:
                text += "it is also a directory of " + other;
                break;
            case NameClashKind::short_alias:
                text += (clash.by_staging_file
                             ? "it is written first as " + std::string(staging.kept) +
                                   std::string(staging.added) + ", whose name"
                             : std::string("a component of it")) +
                        " has the form of a short name that Windows may make up for a name of " +
                        other + " in the same folder, and would then open that file";
                break;
            }
            problems.push_back({clash.entry, text});
            return true;
        });
    if (!checked) throw std::bad_alloc();
    return problems;
}

std::vector<NameProblem> same_file_problems(std::span<const std::string_view> names,
                                            const std::function<std::string(std::size_t)>& label) {
    std::vector<NameProblem> problems;
    std::map<std::u16string, std::size_t> first;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto [at, added] = first.try_emplace(file_name_key(names[i]), i);
        if (added) continue;
        problems.push_back({i, std::string(names[i]) + " is the file of " +
                                   std::string(names[at->second]) + label(at->second) +
                                   " under Windows' name rules (letter case, trailing dots and "
                                   "blanks do not count)"});
    }
    return problems;
}

}  // namespace pelko::packer
