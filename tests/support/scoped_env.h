#pragma once
// One environment variable changed for a scope: set or unset, and on leaving
// put back as it was, value or absence.

#include <optional>
#include <string>

class ScopedEnv {
public:
    // Remembers the variable and leaves it as it is.
    explicit ScopedEnv(std::string name);
    // Remembers it, then sets it to `value`, or unsets it when `value` is null.
    ScopedEnv(std::string name, const char* value);
    ScopedEnv(std::string name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    // Changes it again within the scope; null unsets it.
    void set(const char* value);
    void set(const std::string& value) { set(value.c_str()); }

private:
    std::string name_;
    std::optional<std::string> old_;
};
