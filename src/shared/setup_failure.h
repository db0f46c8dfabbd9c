#pragma once

#include <expected>
#include <string>

namespace pelko {

// The complete text of a failed step. The run sequence passes it on unchanged; report_failure
// logs it and shows it.
struct SetupFailure {
    std::string text;
};

template <class T>
using StepResult = std::expected<T, SetupFailure>;

inline std::unexpected<SetupFailure> fail(std::string text) {
    return std::unexpected(SetupFailure{std::move(text)});
}

}  // namespace pelko
