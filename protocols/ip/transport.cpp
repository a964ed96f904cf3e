// UDP and TCP: ports, and for TCP the sequence state, on one line.
#include <array>

#include "decode/decoders.h"
#include "decode/line.h"

namespace caplib {
namespace {

// Room for the longest TCP line, all flags set and every number at its widest.
constexpr size_t kLine = sizeof "Port 65535->65535 SYN,ACK,PSH,FIN,RST seq=4294967295 ack=4294967295 win=65535";

constexpr uint16_t kNetbiosName = 137, kNetbiosDatagram = 138, kNetbiosSession = 139;

// The five TCP flags in the order they are named, with their bits.
struct TcpFlag {
    uint8_t bit;
    const char *name;
};
constexpr std::array<TcpFlag, 5> kTcpFlags = {
    {{0x02, "SYN"}, {0x10, "ACK"}, {0x08, "PSH"}, {0x01, "FIN"}, {0x04, "RST"}}};
constexpr uint8_t kTcpFlagBits = 0x1F;

using FlagText = std::array<char, sizeof "SYN,ACK,PSH,FIN,RST">;

// Every combination of the five flags, joined once at compile time.
constexpr std::array<FlagText, kTcpFlagBits + 1> kTcpFlagTexts = [] {
    std::array<FlagText, kTcpFlagBits + 1> texts{};
    for (uint32_t bits = 0; bits <= kTcpFlagBits; ++bits) {
        size_t n = 0;
        for (const TcpFlag &f : kTcpFlags) {
            if (!(bits & f.bit)) continue;
            if (n) texts[bits][n++] = ',';
            for (const char *c = f.name; *c; ++c) texts[bits][n++] = *c;
        }
        texts[bits][n] = '\0';
    }
    return texts;
}();

// The flag names of a TCP header's flag byte ("SYN,ACK"); URG is not named.
const char *tcp_flag_text(uint8_t flags) { return kTcpFlagTexts[flags & kTcpFlagBits].data(); }

}  // namespace

uint32_t decode_udp(Cursor &cur, Text &out) {
    Bytes b = cur.view();
    uint16_t src = b.be16(0), dst = b.be16(2);
    Line<kLine> line;
    line.str("Port ").dec(src).str("->").dec(dst);
    if (!out.put(line.view()) || !out.put(out.separator())) return PROTO_END;
    cur.consume(8);
    if (src == kNetbiosName && dst == kNetbiosName) return PROTO_NBNS;
    if (src == kNetbiosDatagram && dst == kNetbiosDatagram) return PROTO_NBDS;
    return PROTO_END;
}

uint32_t decode_tcp(Cursor &cur, Text &out) {
    Bytes b = cur.view();
    uint16_t src = b.be16(0), dst = b.be16(2);
    if (!b.has(0, 20)) {
        out.add("Port %u->%u seq=%u%s", src, dst, b.be32(4), out.separator());
        return PROTO_END;
    }
    Line<kLine> line;
    line.str("Port ").dec(src).str("->").dec(dst).chr(' ').str(tcp_flag_text(b.u8(13)));
    line.str(" seq=").dec(b.be32(4)).str(" ack=").dec(b.be32(8)).str(" win=").dec(b.be16(14));
    if (!out.put(line.view())) return PROTO_END;
    // Options, when present, stay in front of the payload.
    cur.consume(20);
    uint16_t urgent = b.be16(18);
    bool ok = urgent ? out.add("urg=%u %s", urgent, out.separator()) : out.put(out.separator());
    if (!ok) return PROTO_END;
    return src == kNetbiosSession || dst == kNetbiosSession ? PROTO_NBSS : PROTO_END;
}

}  // namespace caplib
