// VXI-11 replies from the network (XDR): a read reply never writes past the
// buffer it was given nor claims more than it holds; a link reply decodes or
// fails without harm.
#include "bus/visa/Vxi11Reply.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    // The first byte picks the capacity the client offers.
    unsigned capacity = data[0] * 17u;
    std::vector<char> buffer(capacity + 1, '\x5A');
    velda::visa::Vxi11ReadReply r;
    r.data = buffer.data();
    r.capacity = capacity;
    if (velda::visa::decodeReadReply(data + 1, size - 1, &r)) {
        if (r.data != buffer.data() || r.length > capacity)
            std::abort();
    }
    if (buffer[capacity] != '\x5A')
        std::abort();
    Create_LinkResp link{};
    velda::visa::decodeLinkReply(data + 1, size - 1, &link);
    return 0;
}
