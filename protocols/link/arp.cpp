// ARP and RARP of the Ethernet/IPv4 shape, in three pieces.
#include <array>
#include <initializer_list>

#include "decode/decoders.h"
#include "decode/names.h"
#include "decode/dotted.h"
#include "decode/line.h"

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
// Room for the longest piece: "ARP Types 65535,65535 Sizes 255,255 Operation RARP-Request".
constexpr size_t kLine = 64;

// A hardware address: six bytes of "%02X".
Line<kLine> &station(Line<kLine> &line, Bytes b, uint32_t off) {
    for (uint32_t i = 0; i < 6; ++i) line.hex(b.u8(off + i), 2);
    return line;
}

}  // namespace

uint32_t decode_arp(Cursor &cur, Text &out) {
    Bytes b = cur.view();
    const char *sep = out.separator();
    // The size fields are shown but the layout stays fixed.
    Line<kLine> head;
    head.str("ARP Types ").dec(b.le16(0)).chr(',').dec(b.le16(2));
    head.str(" Sizes ").dec(b.u8(4)).chr(',').dec(b.u8(5)).str(" Operation ");
    uint16_t op = b.le16(6);
    if (const char *name = arp_operation_name(op))
        head.str(name);
    else
        head.chr('#').hex(op, op > 0xFFF ? 4 : op > 0xFF ? 3 : op > 0xF ? 2 : 1);  // "%X"
    Line<kLine> sender, target;
    station(sender.str(" S-HW: "), b, 8).str(" S-IP: ");
    sender.str(dotted(b, 14).view());
    station(target.str(" D-HW: "), b, 18).str(" D-IP: ");
    target.str(dotted(b, 24).view());
    // A cut text changes nothing: the packet is consumed all the same.
    for (const Line<kLine> *piece : {&head, &sender, &target})
        if (!out.put(piece->view()) || !out.put(sep)) break;
    cur.consume(kPacket);
    return PROTO_END;
}

}  // namespace caplib
