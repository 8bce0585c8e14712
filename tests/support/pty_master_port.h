#pragma once
// A pseudo-terminal linked as "COMn" in the port folder, whose master side the
// test holds: it reads what the program wrote to the port and writes the
// device's answers.

#include <string>

class PtyMasterPort {
public:
    // Creates the terminal and the link `portFolder` + "COM" + n.
    PtyMasterPort(const std::string& portFolder, int n);
    ~PtyMasterPort();
    PtyMasterPort(const PtyMasterPort&) = delete;
    PtyMasterPort& operator=(const PtyMasterPort&) = delete;

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
