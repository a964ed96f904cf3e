// NetBIOS datagram service (port 138): header, names, user data to SMB.
#include <array>
#include <cstdio>

#include "decode/decoders.h"
#include "decode/dotted.h"
#include "decode/line.h"
#include "protocols/netbios/netbios.h"

namespace caplib {
namespace {

constexpr uint32_t kHeader = 14;
constexpr uint32_t kMaxUserData = 576;
constexpr uint8_t kFirstType = 0x10;

constexpr std::array<const char *, 7> kTypes = {
    "direct-unique",           "direct-group",           "broadcast",
    "error",                   "query request",          "positive query response",
    "negative query response",
};

NameOrNumber type_name(uint8_t type) {
    if (type >= kFirstType && type - kFirstType < static_cast<int>(kTypes.size()))
        return kTypes[type - kFirstType];
    return {"0x%x", type};
}

constexpr std::array<const char *, 4> kNodeTypes = {"B-Node", "P-Node", "M-Node", "NBDD"};

// Direct and broadcast datagrams carry the two names and user data.
bool carries_data(uint8_t type) { return type >= 0x10 && type <= 0x12; }

const char *flag(uint32_t bit) { return bit ? "1" : "0"; }

}  // namespace

uint32_t decode_nbds(Cursor &cur, Text &out) {
    const Bytes d = cur.view();
    const uint32_t n = d.size();

    const uint8_t type = d.u8(0), flags = d.u8(1);
    nb_name src{}, dst{};
    uint32_t header = kHeader;
    if (carries_data(type)) {
        header += nb_name_read(d, header, src);
        header += nb_name_read(d, header, dst);
    }
    if (header >= n || n - header > kMaxUserData) return PROTO_END;

    // Assembled by hand: every browser datagram shows these three lines.
    // "DGRAM msg_type=%s %s F=%s M=%s dgmid=%d"
    Line<80> kind;  // at most 65 characters
    kind.str("DGRAM msg_type=").str(type_name(type).c_str()).chr(' ').str(kNodeTypes[flags >> 2 & 3]);
    kind.str(" F=").str(flag(flags & 2)).str(" M=").str(flag(flags & 1)).str(" dgmid=").dec(d.be16(2));
    // "  src=%d.%d.%d.%d:%d len=%d off=%d"
    Line<64> source;
    source.str("  src=").str(dotted(d, 4).view());
    source.chr(':').dec(d.be16(8)).str(" len=").dec(d.be16(10)).str(" off=").dec(d.be16(12));
    const char *sep = out.separator();
    for (std::string_view line : {kind.view(), source.view()})
        if (!out.put(line) || !out.put(sep)) return PROTO_END;
    // "  src=%s dest=%s dsize=%d%s"
    Line<24> size;
    size.str(" dsize=").dec(n - header);
    if (!out.put("  src=") || !out.put(nb_name_text(src).text) || !out.put(" dest=") ||
        !out.put(nb_name_text(dst).text) || !out.put(size.view()) || !out.put(sep))
        return PROTO_END;
    if (!carries_data(type)) return PROTO_END;
    cur.consume(header);
    return PROTO_SMB;
}

}  // namespace caplib
