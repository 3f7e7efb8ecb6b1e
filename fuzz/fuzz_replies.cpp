// Fuzz target for the printer reply parsers: any bytes a device sends must parse without reading
// outside the reply, and an answer's texts must fit their length bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "connection/packets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    PRINTER_IDENTITY id = ParseIdentityReply(data, size);
    if (id.bAnswered && (id.strText1.size() > 255 || id.strText3.size() > 255))
        std::abort();
    if (!id.bAnswered && (!id.strText1.empty() || !id.strText3.empty()))
        std::abort();
    (void)FindChannelList(data, size);
    return 0;
}
