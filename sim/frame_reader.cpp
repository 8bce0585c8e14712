#include "frame_reader.h"

namespace qvnsim {

std::vector<std::string> FrameReader::feed(std::string_view bytes)
{
    std::vector<std::string> bodies;
    for (const char c : bytes) {
        if (c == ':') {
            inFrame_ = true;
            overlong_ = false;
            body_.clear();
        } else if (!inFrame_) {
            continue;
        } else if (c == '#') {
            if (!overlong_) bodies.push_back(body_);
            inFrame_ = false;
            body_.clear();
        } else if (body_.size() < kMaxBody) {
            body_ += c;
        } else {
            overlong_ = true;
        }
    }
    return bodies;
}

} // namespace qvnsim
