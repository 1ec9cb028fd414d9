#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

namespace statlume::testing {

/// Sets (or, with no value, removes) one environment variable for its lifetime.
class TScopedEnv
{
public:
    TScopedEnv(std::string name, const std::optional<std::string>& value)
        : Name(std::move(name))
    {
        if (const char* old = std::getenv(Name.c_str())) {
            Old = old;
        }
        Apply(value);
    }
    ~TScopedEnv() { Apply(Old); }
    TScopedEnv(const TScopedEnv&) = delete;
    TScopedEnv& operator=(const TScopedEnv&) = delete;

private:
    void Apply(const std::optional<std::string>& value) const
    {
        if (value) {
            ::setenv(Name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(Name.c_str());
        }
    }

    std::string Name;
    std::optional<std::string> Old;
};

} // namespace statlume::testing
