// ARP and RARP of the Ethernet/IPv4 shape, in three pieces.
#include <array>

#include "decode/decoders.h"
#include "decode/dotted.h"
#include "decode/names.h"

namespace caplib {
namespace {

// Operations as read here: little-endian, so the wire's 00 01 is 0x0100.
constexpr std::array<Named, 4> kOperations = {{
    {0x0100, "ARP-Request"},
    {0x0200, "ARP-Reply"},
    {0x0300, "RARP-Request"},
    {0x0400, "RARP-Reply"},
}};

// nullptr: shown as "#%X"
const char *arp_operation_name(uint16_t value) { return name_of(kOperations, value); }

constexpr uint32_t kPacket = 28;

// A station line: " S-HW: " and six bytes of "%02X", " S-IP: " and the
// address, the separator.
bool station(Text &out, char side, Bytes b, uint32_t hw, uint32_t ip) {
    return out.add(" %c-HW: %02X%02X%02X%02X%02X%02X %c-IP: %s%s", side, b.u8(hw), b.u8(hw + 1), b.u8(hw + 2),
                   b.u8(hw + 3), b.u8(hw + 4), b.u8(hw + 5), side, dotted(b, ip).text, out.separator());
}

}  // namespace

uint32_t decode_arp(Cursor &cur, Text &out) {
    Bytes b = cur.view();
    // The size fields are shown but the layout stays fixed.
    const uint16_t op = b.le16(6);
    const char *name = arp_operation_name(op);
    // A cut text changes nothing: the packet is consumed all the same.
    (void)(out.add("ARP Types %u,%u Sizes %u,%u Operation %s%s", b.le16(0), b.le16(2), b.u8(4), b.u8(5),
                   (name ? NameOrNumber(name) : NameOrNumber("#%X", op)).c_str(), out.separator()) &&
           station(out, 'S', b, 8, 14) && station(out, 'D', b, 18, 24));
    cur.consume(kPacket);
    return PROTO_END;
}

}  // namespace caplib
