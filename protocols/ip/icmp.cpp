// ICMP: the message in words; an error's quoted datagram follows on the
// next line through the IPv4 decoder.
#include <array>

#include "decode/decoders.h"

namespace caplib {
namespace {

struct IcmpMessage {
    uint8_t type;
    uint8_t code;
    const char *text;
};

// Echo messages (types 0 and 8, code 0) add their identifier and sequence.
constexpr std::array<IcmpMessage, 35> kMessages = {{
    {0, 0, "echo reply"},
    {3, 0, "network unreachable"},
    {3, 1, "host unreachable"},
    {3, 2, "protocol unreachable"},
    {3, 3, "port unreachable"},
    {3, 4, "fragmention needed"},
    {3, 5, "source route failed"},
    {3, 6, "destination network unknown"},
    {3, 7, "destination host unknown"},
    {3, 8, "source host isolated"},
    {3, 9, "destination network prohibited"},
    {3, 10, "destination host prohibited"},
    {3, 11, "network unreachable for TOS"},
    {3, 12, "host unreachable for TOS"},
    {3, 13, "communication prohibited by filter"},
    {3, 14, "host precedence violation"},
    {3, 15, "precedence cutoff"},
    {4, 0, "source quench"},
    {5, 0, "redirect for network"},
    {5, 1, "redirect for host"},
    {5, 2, "redirect for service and network"},
    {5, 3, "redirect for service and host"},
    {8, 0, "echo request"},
    {9, 0, "router advertisement"},
    {10, 0, "router solicitation"},
    {11, 0, "time exceeded during transit"},
    {11, 1, "time exceeded during reassemble"},
    {12, 0, "bad IP header"},
    {12, 1, "option missing"},
    {13, 0, "time request"},
    {14, 0, "time reply"},
    {15, 0, "info request"},
    {16, 0, "info reply"},
    {17, 0, "address mask request"},
    {18, 0, "address mask reply"},
}};

const char *message_text(uint8_t type, uint8_t code) {
    for (const IcmpMessage &m : kMessages)
        if (m.type == type && m.code == code) return m.text;
    return nullptr;
}

constexpr uint8_t kEchoReply = 0, kEchoRequest = 8;

// The types whose body quotes the offending datagram, whatever the code.
constexpr std::array<uint8_t, 5> kErrorTypes = {3, 4, 5, 11, 12};

bool quotes_datagram(uint8_t type) {
    for (uint8_t t : kErrorTypes)
        if (t == type) return true;
    return false;
}

}  // namespace

uint32_t decode_icmp(Cursor &cur, Text &out) {
    Bytes b = cur.view();
    uint8_t type = b.u8(0), code = b.u8(1);
    const char *text = message_text(type, code);
    const char *sep = out.separator();
    bool whole;
    if (!text)
        whole = out.add("Type=%02X Code=%02X%s", type, code, sep);
    else if ((type == kEchoReply || type == kEchoRequest) && code == 0)
        whole = out.add("%s id=%u seq=%u%s", text, b.be16(4), b.be16(6), sep);
    else
        whole = out.add("%s%s", text, sep);
    if (!whole) return PROTO_END;
    cur.consume(8);

    if (!quotes_datagram(type)) return PROTO_END;
    size_t mark = out.size();
    if (!out.put("  << ")) {
        out.rewind(mark);
        return PROTO_END;
    }
    return PROTO_IP;
}

}  // namespace caplib
