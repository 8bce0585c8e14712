#pragma once
// Cuts the byte stream from the tool into frame bodies: a frame starts at ":"
// (a new ":" restarts it) and ends at "#"; bytes outside frames are ignored.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qvnsim {

class FrameReader {
public:
    // Longest body kept; a longer one is noise and is dropped whole.
    static constexpr std::size_t kMaxBody = 40;

    // Feeds bytes; returns the bodies of the frames they completed.
    std::vector<std::string> feed(std::string_view bytes);

private:
    bool inFrame_ = false;
    bool overlong_ = false;
    std::string body_;
};

} // namespace qvnsim
