#pragma once
// Port names "COM1" to "COM99" and the device paths they stand for on Linux.

#include <optional>
#include <string>
#include <string_view>

namespace serial {

inline constexpr int kFirstPort = 1;
inline constexpr int kLastPort = 99;

// The user's port folder: $XDG_CONFIG_HOME/ZARPO/ports/, by default
// ~/.config/ZARPO/ports/, ending in "/". Read afresh on every call.
std::string portFolder();

// n of a name "COM" + n (1..99, no leading zero, "COM" in any case), if it is one.
std::optional<int> comNumber(std::string_view name);

// The device path of port n: the link "COMn" of the port folder when there is
// one, otherwise the fixed table (COM1-16 ttyUSB, 17-32 ttyACM, 33-48 rfcomm,
// 49-64 ttyS; none for 65-99).
std::optional<std::string> devicePathFor(int n);

} // namespace serial
