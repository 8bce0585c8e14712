#include "serial/portnames.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdlib>

namespace serial {

namespace {

// Unset or relative values are ignored, as the XDG rules ask.
std::string absoluteEnv(const char* name)
{
    const char* v = std::getenv(name);
    if (v == nullptr || v[0] != '/') return {};
    return v;
}

std::string homeFolder()
{
    std::string home = absoluteEnv("HOME");
    if (!home.empty()) return home;
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
    return "/";
}

std::string withSlash(std::string path)
{
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

struct DeviceRange {
    int first;
    const char* prefix;
};

// Sixteen ports per kind of device, in the order users find them most.
constexpr std::array<DeviceRange, 4> kTable{{
    {1, "/dev/ttyUSB"},
    {17, "/dev/ttyACM"},
    {33, "/dev/rfcomm"},
    {49, "/dev/ttyS"},
}};
constexpr int kPortsPerKind = 16;

} // namespace

std::string portFolder()
{
    std::string config = absoluteEnv("XDG_CONFIG_HOME");
    if (config.empty()) config = withSlash(homeFolder()) + ".config";
    return withSlash(config) + "ZARPO/ports/";
}

std::optional<int> comNumber(std::string_view name)
{
    // The names stand in for Windows port names, which ignore case.
    constexpr std::string_view prefix = "COM";
    if (name.size() < prefix.size() + 1 || name.size() > prefix.size() + 2) return std::nullopt;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char c = name[i];
        if (c != prefix[i] && c != prefix[i] - 'A' + 'a') return std::nullopt;
    }
    const std::string_view digits = name.substr(prefix.size());
    if (digits.front() == '0') return std::nullopt;
    int n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    if (n < kFirstPort || n > kLastPort) return std::nullopt;
    return n;
}

std::optional<std::string> devicePathFor(int n)
{
    if (n < kFirstPort || n > kLastPort) return std::nullopt;
    // Any entry of that name counts, even a dangling link: the user chose it,
    // and opening it will then fail rather than fall back to another device.
    const std::string link = portFolder() + "COM" + std::to_string(n);
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0) return link;
    for (const DeviceRange& r : kTable) {
        if (n >= r.first && n < r.first + kPortsPerKind) return std::string(r.prefix) + std::to_string(n - r.first);
    }
    return std::nullopt;
}

} // namespace serial
