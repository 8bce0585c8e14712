#pragma once
// A pseudo-terminal linked as "COMn" in the port folder: the test holds the
// device side (the master) and reads what the program wrote to the port.

#include <string>

class PtyDevice {
public:
    // Creates the terminal and the link `portFolder` + "COM" + n.
    PtyDevice(const std::string& portFolder, int n);
    ~PtyDevice();
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    std::string portName() const { return "COM" + std::to_string(n_); }
    // Everything written by the program and not read yet.
    std::string readAll();
    // Bytes for the program to read.
    void write(const std::string& bytes);

private:
    int master_ = -1;
    int n_;
    std::string link_;
};
