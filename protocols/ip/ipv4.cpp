// IPv4: one line per header with addresses, fragment state and protocol.
#include <array>
#include <string_view>

#include "decode/decoders.h"
#include "decode/dotted.h"
#include "decode/line.h"
#include "decode/names.h"

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

const IpProtocol *ip_protocol(uint8_t value) { return find(kIpProtocols, &IpProtocol::value, value); }

constexpr uint32_t kMinHeader = 20;
// Room for the longest piece: " id=65535 CE DF MF off=65528 Protocol=TCP-VJU Slot=255".
constexpr size_t kLine = 64;
constexpr uint16_t kCE = 0x8000, kDF = 0x4000, kMF = 0x2000, kOffset = 0x1FFF;

enum class Mode { plain, vj_uncompressed };

uint32_t decode_ipv4(Cursor &cur, Text &out, Mode mode) {
    Bytes b = cur.view();
    Line<kLine> addresses;
    addresses.str("IP ").str(dotted(b, 12).view()).str(" --> ").str(dotted(b, 16).view());
    if (!out.put(addresses.view())) return PROTO_END;

    uint8_t proto = b.u8(9);
    const IpProtocol *known = ip_protocol(proto);
    auto protocol_text = [&](Line<kLine> &l) {
        if (mode == Mode::vj_uncompressed)
            l.str("Protocol=TCP-VJU Slot=").dec(proto);
        else if (known)
            l.str("Protocol=").str(known->name);
        else
            l.str("Protocol=").dec(proto, 2);
    };

    uint16_t flags = b.be16(6);
    std::string_view ce = flags & kCE ? "CE " : "";
    std::string_view df = flags & kDF ? "DF " : "";
    std::string_view mf = flags & kMF ? "MF" : "";
    // The identification goes out with its wire bytes swapped.
    uint32_t id = b.u8(4) | b.u8(5) << 8;

    Line<kLine> tail;
    if (flags == 0) {
        tail.chr(' ');
    } else if (flags & kOffset) {
        tail.str(" id=").dec(id).chr(' ').str(ce).str(df).str(mf);
        tail.str(" off=").dec((flags & kOffset) * 8u).chr(' ');
        protocol_text(tail);
        // A later fragment carries no header of the next protocol.
        if (out.put(tail.view())) out.put(out.separator());
        return PROTO_END;
    } else if (flags & kMF) {
        tail.str(" id=").dec(id).chr(' ').str(ce).str(df).str(mf).chr(' ');
    } else {
        tail.chr(' ').str(ce).str(df);
    }
    protocol_text(tail);
    if (!out.put(tail.view()) || !out.put(out.separator())) return PROTO_END;

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
