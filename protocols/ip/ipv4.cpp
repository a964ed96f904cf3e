// IPv4: one line per header with addresses, fragment state and protocol.
#include <array>
#include <cstdio>

#include "decode/decoders.h"

namespace caplib {
namespace {

struct IpProtocol {
    uint8_t value;
    const char *name;
    uint32_t next;  // decoder of the payload, PROTO_END when none
};

constexpr std::array<IpProtocol, 16> kIpProtocols = {{
    {1, "ICMP", PROTO_ICMP},
    {2, "IGMP", PROTO_END},
    {4, "IPIP", PROTO_IP},
    {6, "TCP", PROTO_TCP},
    {8, "EGP", PROTO_END},
    {12, "PUP", PROTO_END},
    {17, "UDP", PROTO_UDP},
    {22, "IDP", PROTO_END},
    {29, "TP", PROTO_END},
    {46, "RSVP", PROTO_END},
    {47, "GRE", PROTO_END},
    {50, "ESP", PROTO_END},
    {51, "AH", PROTO_END},
    {92, "MTP", PROTO_END},
    {94, "IPIP-KA9Q", PROTO_IP},
    {103, "PIM", PROTO_END},
}};

const IpProtocol *ip_protocol(uint8_t value) {
    for (const IpProtocol &p : kIpProtocols)
        if (p.value == value) return &p;
    return nullptr;
}

constexpr uint32_t kMinHeader = 20;
constexpr uint16_t kCE = 0x8000, kDF = 0x4000, kMF = 0x2000, kOffset = 0x1FFF;

enum class Mode { plain, vj_uncompressed };

uint32_t decode_ipv4(Cursor &cur, Text &out, Mode mode) {
    Bytes b = cur.view();
    if (!b.has(0, kMinHeader)) {
        out.add("sliced IP header%s", separator());
        return PROTO_END;
    }
    if (!out.add("IP %u.%u.%u.%u --> %u.%u.%u.%u", b.u8(12), b.u8(13), b.u8(14), b.u8(15),
                 b.u8(16), b.u8(17), b.u8(18), b.u8(19)))
        return PROTO_END;

    uint8_t proto = b.u8(9);
    const IpProtocol *known = ip_protocol(proto);
    char ptext[32];
    if (mode == Mode::vj_uncompressed)
        std::snprintf(ptext, sizeof ptext, "Protocol=TCP-VJU Slot=%u", proto);
    else if (known)
        std::snprintf(ptext, sizeof ptext, "Protocol=%s", known->name);
    else
        std::snprintf(ptext, sizeof ptext, "Protocol=%2u", proto);

    uint16_t flags = b.be16(6);
    const char *ce = flags & kCE ? "CE " : "";
    const char *df = flags & kDF ? "DF " : "";
    const char *mf = flags & kMF ? "MF" : "";
    // The identification goes out with its wire bytes swapped.
    int id = b.u8(4) | b.u8(5) << 8;
    const char *sep = separator();

    bool ok;
    if (flags == 0) {
        ok = out.add(" %s%s", ptext, sep);
    } else if (flags & kOffset) {
        // A later fragment carries no header of the next protocol.
        out.add(" id=%d %s%s%s off=%u %s%s", id, ce, df, mf, (flags & kOffset) * 8u, ptext, sep);
        return PROTO_END;
    } else if (flags & kMF) {
        ok = out.add(" id=%d %s%s%s %s%s", id, ce, df, mf, ptext, sep);
    } else {
        ok = out.add(" %s%s%s%s", ce, df, ptext, sep);
    }
    if (!ok) return PROTO_END;

    // A header length below the fixed header, or beyond the captured bytes,
    // leaves no place where the payload could start: the line stands alone.
    uint32_t header = (b.u8(0) & 0x0F) * 4u;
    if (header < kMinHeader || !cur.consume(header)) return PROTO_END;

    if (mode == Mode::vj_uncompressed) return PROTO_TCP;
    return known ? known->next : PROTO_END;
}

}  // namespace

uint32_t decode_ip(Cursor &cur, Text &out) { return decode_ipv4(cur, out, Mode::plain); }

uint32_t decode_ip_vju(Cursor &cur, Text &out) {
    return decode_ipv4(cur, out, Mode::vj_uncompressed);
}

}  // namespace caplib
