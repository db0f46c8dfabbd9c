#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace pelko::test {

// Sets an environment variable of this process (removes it, for a null value) for the object's
// lifetime, then gives it back the value it had before, or removes it again.
class EnvironmentOverride {
public:
    EnvironmentOverride(std::wstring name, const wchar_t* value) : name_(std::move(name)) {
        if (const DWORD size = GetEnvironmentVariableW(name_.c_str(), nullptr, 0); size > 0) {
            std::wstring earlier(size, L'\0');
            earlier.resize(GetEnvironmentVariableW(name_.c_str(), earlier.data(), size));
            earlier_ = std::move(earlier);
        }
        SetEnvironmentVariableW(name_.c_str(), value);
    }
    ~EnvironmentOverride() {
        SetEnvironmentVariableW(name_.c_str(), earlier_ ? earlier_->c_str() : nullptr);
    }
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    std::wstring name_;
    std::optional<std::wstring> earlier_;
};

}  // namespace pelko::test
