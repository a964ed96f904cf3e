// IPXWAN link start-up negotiation: the header line and one line per known
// option.
#include <array>
#include <cstdio>
#include <string_view>

#include "decode/decoders.h"
#include "decode/names.h"

namespace caplib {
namespace {


constexpr std::array<Named, 9> kPacketTypes = {{
    {0, "TimerReq"},
    {1, "TimerResp"},
    {2, "InfoReq"},
    {3, "InfoResp"},
    {4, "ThroughputReq"},
    {5, "ThroughputResp"},
    {6, "DelayReq"},
    {7, "DelayResp"},
    {255, "NAK"},
}};

const char *packet_type_name(uint8_t type, char (&buf)[8]) {
    if (const char *name = name_of(kPacketTypes, type)) return name;
    std::snprintf(buf, sizeof buf, "0x%x", type);
    return buf;
}

const char *accept_text(uint8_t status) {
    switch (status) {
    case 0: return "No";
    case 1: return "Yes";
    default: return "Not Applic";
    }
}

// Each option line sees only its own data bytes.
using OptionLine = bool (*)(Text &, const char *accept, Bytes data);

bool routing_type(Text &out, const char *accept, Bytes d) {
    return out.add("- RoutingType %s (%d)%s", accept, d.u8(0), out.separator());
}

bool ripsap(Text &out, const char *, Bytes d) {
    constexpr uint32_t kName = 6, kNameMax = 48;
    std::string_view name = d.chars(kName, kNameMax);
    name = name.substr(0, name.find('\0'));
    return out.add("- RIPSAP delay=%dms Net=%08x Name=%.*s%s", d.be16(0), d.be32(2),
                   static_cast<int>(name.size()), name.data(), out.separator());
}

bool nlsp(Text &out, const char *accept, Bytes) {
    return out.add("- NLSP %s (...)%s", accept, out.separator());
}

bool nlsp_throughput(Text &out, const char *accept, Bytes) {
    return out.add("- NLSP THROUGHPUT %s (...)%s", accept, out.separator());
}

bool node_id(Text &out, const char *, Bytes d) {
    return out.add("- Nodeid=%08x%s", d.be32(0), out.separator());
}

bool compression(Text &out, const char *accept, Bytes d) {
    return out.add("- COMP %s (%d,%d,%d)%s", accept, d.u8(0), d.u8(1), d.u8(2), out.separator());
}

struct Option {
    uint8_t number;
    uint32_t min_data;  // data bytes the line shows
    OptionLine line;
};

constexpr std::array<Option, 6> kOptions = {{
    {0, 1, routing_type},
    {1, 6, ripsap},
    {2, 0, nlsp},
    {3, 0, nlsp_throughput},
    {4, 4, node_id},
    {0x80, 3, compression},
}};

const Option *find_option(uint8_t number) { return find(kOptions, &Option::number, number); }

bool sliced_option(Text &out) { return out.add("- sliced IPXWAN option%s", out.separator()); }

constexpr uint32_t kHeader = 11;
constexpr uint32_t kType = 4, kNode = 5, kSeq = 9, kCount = 10;
constexpr uint32_t kOptionHeader = 4;  // number, accept status, data length

}  // namespace

uint32_t decode_ipxwan(Cursor &cur, Text &out) {
    Bytes b = cur.view();
    char buf[8];
    if (!out.add("%s NodeID=%08x seq=%d noptions=%d%s", packet_type_name(b.u8(kType), buf),
                 b.be32(kNode), b.u8(kSeq), b.u8(kCount), out.separator()))
        return PROTO_END;

    // The option count and lengths come from the wire: the walk ends where
    // the captured bytes end, whatever they claim.
    uint32_t off = kHeader;
    for (unsigned n = b.u8(kCount); n > 0; --n) {
        if (!b.has(off, kOptionHeader)) {
            sliced_option(out);
            break;
        }
        uint32_t len = b.be16(off + 2);
        Bytes data = b.slice(off + kOptionHeader, len);
        if (data.size() < len) {
            sliced_option(out);
            break;
        }
        if (const Option *o = find_option(b.u8(off))) {
            bool written = data.size() < o->min_data ? sliced_option(out)
                                                     : o->line(out, accept_text(b.u8(off + 1)), data);
            if (!written) break;
        }
        off += kOptionHeader + len;
    }
    return PROTO_END;
}

}  // namespace caplib
