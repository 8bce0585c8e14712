#pragma once
// The simulated bridge serving the master side of a pseudo-terminal whose
// slave is linked as "COM<n>" in a port folder: the tool opens the slave.

#include <string>

#include "bridge.h"

namespace qvnsim {

class PtyBridge {
public:
    // Opens a pty (master raw), links "COM<n>" in `portsDir` (replacing a stale link; creating the folder) to the slave path.
    // Throws std::runtime_error with a readable message when it cannot.
    PtyBridge(int comNumber, const std::string& portsDir, Options options, double now);
    ~PtyBridge(); // removes the link, closes the master
    PtyBridge(const PtyBridge&) = delete;
    PtyBridge& operator=(const PtyBridge&) = delete;

    const std::string& slavePath() const { return slavePath_; }
    const std::string& linkPath() const { return linkPath_; }
    // Reads whatever the tool wrote, feeds the bridge, writes the replies; also writes replies that became due. Never blocks.
    void pump(double now);
    Bridge& bridge() { return bridge_; }
    void vanish(); // closes the master (a pulled USB cable); pump() then does nothing
    int masterFd() const { return master_; }
    bool gone() const { return master_ < 0; }

private:
    void write(const std::string& bytes);
    void removeLink();

    Bridge bridge_;
    int master_ = -1;
    int slaveHold_ = -1; // keeps the line up while the tool has the port closed
    std::string slavePath_;
    std::string linkPath_;
    std::string unsent_;
};

} // namespace qvnsim
