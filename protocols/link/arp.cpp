// ARP and RARP of the Ethernet/IPv4 shape, in three pieces.
#include <array>
#include <initializer_list>

#include "decode/decoders.h"
#include "protocols/ip/line.h"

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

const char *arp_operation_name(uint16_t value) {
    for (const ArpOperation &op : kOperations)
        if (op.value == value) return op.name;
    return nullptr;  // shown as "#%X"
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
    ip::Line head;
    head.put("ARP Types ").dec(b.le16(0)).put(',').dec(b.le16(2));
    head.put(" Sizes ").dec(b.u8(4)).put(',').dec(b.u8(5)).put(" Operation ");
    uint16_t op = b.le16(6);
    if (const char *name = arp_operation_name(op))
        head.put(name);
    else
        head.put('#').hex(op);
    ip::Line sender, target;
    sender.put(" S-HW: ").hex(b, 8, 6).put(" S-IP: ").dotted(b, 14);
    target.put(" D-HW: ").hex(b, 18, 6).put(" D-IP: ").dotted(b, 24);
    // A cut text changes nothing: the packet is consumed all the same.
    for (const ip::Line *piece : {&head, &sender, &target})
        if (!out.put(piece->view()) || !out.put(sep)) break;
    cur.consume(kPacket);
    return PROTO_END;
}

}  // namespace caplib
