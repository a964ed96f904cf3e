// IPX: addresses as network:node:socket, packet type and hop count, and the
// choice of the decoder behind it.
#include <array>
#include <cstdio>

#include "decode/decoders.h"

namespace caplib {
namespace {

struct Named {
    uint16_t value;
    const char *text;
};

constexpr std::array<Named, 5> kTypes = {{
    {1, "RIP"},
    {4, "IPX"},
    {5, "SPX"},
    {17, "NCP"},
    {20, "NetBIOS"},
}};

constexpr uint16_t kSocketNetbios = 0x0455;
constexpr uint16_t kSocketIpxwan = 0x9004;

constexpr std::array<Named, 10> kSockets = {{
    {0x0451, "NCP"},
    {0x0452, "SAP"},
    {0x0453, "RIP"},
    {kSocketNetbios, "NetBIOS"},
    {0x0456, "DIAG"},
    {0x0457, "SER"},
    {0x9001, "NLSP"},
    {kSocketIpxwan, "IPXWAN"},
    {0x900F, "SNMP"},
    {0x9010, "TRAP"},
}};

template <size_t N>
const char *lookup(const std::array<Named, N> &table, uint16_t value) {
    for (const Named &n : table)
        if (n.value == value) return n.text;
    return nullptr;
}

// Names without a table entry are formatted into the caller's work buffer.
using Work = char[8];

const char *type_name(uint8_t type, Work &buf) {
    if (const char *t = lookup(kTypes, type)) return t;
    std::snprintf(buf, sizeof buf, "%2u", type);
    return buf;
}

const char *socket_name(uint16_t socket, Work &buf) {
    if (const char *t = lookup(kSockets, socket)) return t;
    std::snprintf(buf, sizeof buf, "%04X", socket);
    return buf;
}

constexpr uint16_t kAnySocket = 0;  // the rule ignores the sockets

// The first rule whose packet type matches, and whose socket both ends
// use (unless it takes any), names the next decoder.
struct NextRule {
    uint8_t type;
    uint16_t socket;
    uint32_t next;
};

constexpr std::array<NextRule, 5> kNext = {{
    {4, kSocketIpxwan, PROTO_IPXWAN},
    {5, kAnySocket, PROTO_SPX},
    {17, kAnySocket, PROTO_NCP},
    {20, kSocketNetbios, PROTO_IPX_NBNAME},
    {4, kSocketNetbios, PROTO_IPX_NBDATA},
}};

uint32_t next_for(uint8_t type, uint16_t dst_socket, uint16_t src_socket) {
    for (const NextRule &r : kNext)
        if (r.type == type &&
            (r.socket == kAnySocket || (dst_socket == r.socket && src_socket == r.socket)))
            return r.next;
    return PROTO_END;
}

constexpr uint32_t kHeader = 30;
constexpr uint32_t kHops = 4, kType = 5, kDst = 6, kSrc = 18;  // network 4, node 6, socket 2

}  // namespace

uint32_t decode_ipx(Cursor &cur, Text &out) {
    Bytes b = cur.view();
    if (!b.has(0, kHeader)) {
        out.add("sliced IPX header%s", separator());
        return PROTO_END;
    }
    uint8_t type = b.u8(kType);
    uint16_t dst_socket = b.be16(kDst + 10), src_socket = b.be16(kSrc + 10);
    Work type_buf, src_buf, dst_buf;
    if (!out.add("IPX %08X:%04X%08X:%s-->%08X:%04X%08X:%s Type:%s Hop:%u%s", b.be32(kSrc),
                 b.be16(kSrc + 4), b.be32(kSrc + 6), socket_name(src_socket, src_buf),
                 b.be32(kDst), b.be16(kDst + 4), b.be32(kDst + 6),
                 socket_name(dst_socket, dst_buf), type_name(type, type_buf), b.u8(kHops),
                 separator()))
        return PROTO_END;
    cur.consume(kHeader);
    return next_for(type, dst_socket, src_socket);
}

}  // namespace caplib
