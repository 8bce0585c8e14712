// Any bytes as a status reply: the check, the parse and the panel texts must
// hold together and never read outside the reply.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "controller/poll.h"
#include "protocol/wire.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    const bool isReply = protocol::isStatusReply(reply);
    const auto parsed = protocol::parseStatusReply(reply);
    if (isReply != parsed.has_value()) std::abort();
    for (int reqPos : {0, 1}) {
        const auto shown = controller::readStatusReply(reply, reqPos, reqPos);
        if (shown.has_value() != isReply) std::abort();
        if (shown && shown->converted && !shown->enoughFields) std::abort();
    }
    if (parsed) {
        std::size_t total = 0;
        for (std::string_view f : parsed->fields) {
            if (f.data() < reply.data() || f.data() + f.size() > reply.data() + reply.size()) std::abort();
            total += f.size() + 1;
        }
        if (total != reply.size() - 5 + 1) std::abort();  // fields and their separators fill the data part
    }
    return 0;
}
