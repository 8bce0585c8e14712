#pragma once
// The serial layer: six routines around one module-level port handle, over
// termios. Ports keep their names "COM1" to "COM99"; portnames.h maps them to
// device paths.

#include <functional>
#include <string>
#include <vector>

namespace serial {

// Shows one message to the user (a modal box in the window).
using MessageFn = std::function<void(const std::string&)>;

// The names "COM" + n, n = 1..99 in increasing order, of the ports that can
// be opened now. Each is opened and closed again; no port is open afterwards.
std::vector<std::string> listComPorts();

// Opens the port of that name exclusively (flock and TIOCEXCL). No message.
bool openComPort(const std::string& name);

// The five set-up steps; the first that fails shows its own message through
// `message` ("SetupComm Fail", "GetCommState Fail", "BuildCommDCB Fail",
// "SetCommState Fail", "SetCommTimeouts Fail") and ends with false.
// Raw 8N1, no flow control, any baud rate; `timeoutMs` is the read total.
bool setupComPort(const std::string& baudText, int timeoutMs, const MessageFn& message);

// Transmit purge and drain, then the bytes of `text` in one write. Failures are
// ignored; with no port open it does nothing.
void writeComPort(const std::string& text);

// One read of at most 80 bytes within the read total time. The bytes read when
// more than 2 came and the last is "#", otherwise "RXFX".
std::string readComPort();

// Transmit purge, drain, close. Does nothing when no port is open.
void closeComPort();

} // namespace serial
