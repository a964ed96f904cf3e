// SPX connection header and NCP request/reply header. Both end the chain:
// the payload behind them is not decoded.
#include <array>

#include "decode/decoders.h"
#include "decode/line.h"
#include "decode/names.h"

namespace caplib {
namespace {


// The quotes belong to the texts.
constexpr std::array<Named, 6> kNcpRequests = {{
    {0x1111, "\"Create Connection\""},
    {0x2222, "\"Request\""},
    {0x3333, "\"Reply\""},
    {0x5555, "\"Destroy Connection\""},
    {0x7777, "\"Burst Mode\""},
    {0x9999, "\"Req. Being Processed\""},
}};

}  // namespace

uint32_t decode_spx(Cursor &cur, Text &out) {
    Bytes b = cur.view();
    out.add("SPX ConnCtl=%u DataStreamType=%u SrcConnectID=%u DstConnectID=%u%s"
            "    SeqNumber=%u AckNumber=%u AllocNumber=%u%s",
            b.u8(0), b.u8(1), b.be16(2), b.be16(4), out.separator(), b.be16(6), b.be16(8),
            b.be16(10), out.separator());
    return PROTO_END;
}

uint32_t decode_ncp(Cursor &cur, Text &out) {
    Bytes b = cur.view();
    // "NCP Request=%s Sequence=%u Task=%u Connections=%u,%u Completion=%u Status=%u",
    // an unnamed request type in "0x%04x". The request type is stored low
    // byte first, unlike the rest of IPX; the connection number too, its
    // halves split around the task number.
    Line<128> line;
    line.str("NCP Request=");
    uint16_t request = b.le16(0);
    if (const char *name = name_of(kNcpRequests, request)) line.str(name);
    else line.str("0x").hex_lower(request, 4);
    line.str(" Sequence=").dec(b.u8(2)).str(" Task=").dec(b.u8(4));
    line.str(" Connections=").dec(b.u8(3)).chr(',').dec(b.u8(5));
    line.str(" Completion=").dec(b.u8(6)).str(" Status=").dec(b.u8(7));
    if (out.put(line.view())) out.put(out.separator());
    return PROTO_END;
}

}  // namespace caplib
