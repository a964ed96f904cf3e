// Ethernet (II, SNAP, 802.2, raw 802.3) and Token Ring framing.
#include <array>

#include "decode/decoders.h"
#include "decode/line.h"

namespace caplib {
namespace {

struct TypeRule {
    uint16_t type;
    uint32_t next;
    bool on_tokenring;
};

// The value 0x0835 (not 0x8035) is what stations put on the wire here.
constexpr std::array<TypeRule, 6> kTypes = {{
    {0x0800, PROTO_IP, true},
    {0x0806, PROTO_ARP, true},
    {0x0835, PROTO_ARP, true},
    {0x8137, PROTO_IPX, true},
    {0x8863, PROTO_PPPOE_DISC, false},
    {0x8864, PROTO_PPPOE_SESS, false},
}};

uint32_t next_for_type(uint16_t type, bool tokenring) {
    for (const TypeRule &r : kTypes)
        if (r.type == type && (r.on_tokenring || !tokenring)) return r.next;
    return PROTO_END;
}

// Longest line: label, two stations, " Type=0x" and four digits.
using StationLine = Line<64>;

// One station in upper-case hex; the fifth byte keeps its historic "%0X"
// (one digit below 0x10), so 00 A0 C5 11 02 33 reads 00A0C511233.
void station(StationLine &line, Bytes b, uint32_t off) {
    for (uint32_t i = 0; i < 6; ++i) {
        uint8_t v = b.u8(off + i);
        if (i != 4 || v >= 0x10) line.chr(kHexUpper[v >> 4]);
        line.chr(kHexUpper[v & 15]);
    }
}

// "<label> <source> -> <destination>", then " <key>0x%04x" when key is
// given, and the separator. It opens most lines of a trace, so it is
// built without a formatted write.
bool stations(Text &out, const char *label, Bytes b, uint32_t src, uint32_t dst,
              const char *key = nullptr, uint16_t value = 0) {
    StationLine line;
    line.str(label).chr(' ');
    station(line, b, src);
    line.str(" -> ");
    station(line, b, dst);
    if (key) line.str(key).hex_lower(value, 4);
    return out.put(line.view()) && out.put(out.separator());
}

bool length_line(Text &out, const char *label, Bytes b, uint16_t t) {
    return stations(out, label, b, 6, 0, " Len=0x", t);
}

constexpr uint16_t kMaxLength = 1500;  // above: an Ethernet II type

}  // namespace

uint32_t decode_ethernet(Cursor &cur, Text &out) {
    Bytes b = cur.view();
    constexpr uint32_t dst = 0, src = 6;  // station addresses
    uint16_t t = b.be16(12);

    if (t > kMaxLength) {
        if (!stations(out, "Ethernet II", b, src, dst, " Type=0x", t)) return PROTO_END;
        cur.consume(14);
        return next_for_type(t, false);
    }
    if (b.has(14, 3) && !b.starts_with(14, {0xFF, 0xFF})) {
        if (b.starts_with(14, {0xAA, 0xAA, 0x03})) {
            if (!length_line(out, "Ethernet SNAP", b, t)) return PROTO_END;
            // A SNAP header cut before its type names no payload.
            if (!b.has(17, 5)) return PROTO_END;
            uint16_t type = b.be16(20);
            cur.consume(22);
            return next_for_type(type, false);
        }
        if (!length_line(out, "Ethernet802.2", b, t)) return PROTO_END;
        cur.consume(17);
        return b.starts_with(14, {0xE0, 0xE0}) ? PROTO_IPX : PROTO_END;
    }
    if (!length_line(out, "Ethernet Raw 802.3", b, t)) return PROTO_END;
    cur.consume(14);
    return PROTO_IPX;
}

uint32_t decode_tokenring(Cursor &cur, Text &out) {
    Bytes b = cur.view();
    constexpr uint32_t dst = 2, src = 8;
    uint32_t r = (b.u8(src) & 0x80) ? (b.u8(14) & 0x1F) : 0;
    uint32_t llc = 14 + r;
    // Routing information can push the LLC/SNAP header past the captured bytes.
    if (b.starts_with(llc, {0xAA, 0xAA, 0x03})) {
        if (!b.has(llc, 8)) {
            out.add("sliced Tokenring header%s", out.separator());
            return PROTO_END;
        }
        uint16_t type = b.be16(llc + 6);
        if (!stations(out, "Tokenring SNAP", b, src, dst, " Type=0x", type)) return PROTO_END;
        cur.consume(llc + 8);
        return next_for_type(type, true);
    }
    if (b.starts_with(llc, {0xE0, 0xE0, 0x03})) {
        if (!stations(out, "Tokenring 802.2", b, src, dst)) return PROTO_END;
        cur.consume(llc + 3);
        return PROTO_IPX;
    }
    if (!b.has(llc, 3)) {
        out.add("sliced Tokenring header%s", out.separator());
        return PROTO_END;
    }
    out.add("Unknown Tokenring Frame-Type%s", out.separator());
    return PROTO_END;
}

}  // namespace caplib
