// ARP and RARP of the Ethernet/IPv4 shape, in three pieces.
#include <array>
#include <cstdio>

#include "decode/decoders.h"

namespace caplib {
namespace {

// Operations as read here: little-endian, so the wire's 00 01 is 0x0100.
struct ArpOperation {
    uint16_t value;
    const char *name;
};
constexpr std::array<ArpOperation, 4> kOperations = {{
    {0x0100, "ARP-Request"},
    {0x0200, "ARP-Reply"},
    {0x0300, "RARP-Request"},
    {0x0400, "RARP-Reply"},
}};

struct OperationName {
    char text[sizeof "RARP-Request"];  // the longest name; "#FFFF" is shorter
};

OperationName arp_operation_name(uint16_t value) {
    OperationName n{};
    for (const ArpOperation &op : kOperations)
        if (op.value == value) {
            std::snprintf(n.text, sizeof n.text, "%s", op.name);
            return n;
        }
    std::snprintf(n.text, sizeof n.text, "#%X", value);
    return n;
}

constexpr uint32_t kPacket = 28;

}  // namespace

uint32_t decode_arp(Cursor &cur, Text &out) {
    Bytes b = cur.view();
    if (!b.has(0, kPacket)) {
        out.add("sliced ARP header%s", separator());
        return PROTO_END;
    }
    const char *sep = separator();
    // The size fields are shown but the layout stays fixed.
    out.add("ARP Types %u,%u Sizes %u,%u Operation %s%s"
            " S-HW: %02X%02X%02X%02X%02X%02X S-IP: %u.%u.%u.%u%s"
            " D-HW: %02X%02X%02X%02X%02X%02X D-IP: %u.%u.%u.%u%s",
            b.le16(0), b.le16(2), b.u8(4), b.u8(5), arp_operation_name(b.le16(6)).text, sep,
            b.u8(8), b.u8(9), b.u8(10), b.u8(11), b.u8(12), b.u8(13), b.u8(14), b.u8(15),
            b.u8(16), b.u8(17), sep, b.u8(18), b.u8(19), b.u8(20), b.u8(21), b.u8(22), b.u8(23),
            b.u8(24), b.u8(25), b.u8(26), b.u8(27), sep);
    cur.consume(kPacket);
    return PROTO_END;
}

}  // namespace caplib
