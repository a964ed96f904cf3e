// IPX: addresses as network:node:socket, packet type and hop count, and the
// choice of the decoder behind it.
#include <array>

#include "decode/decoders.h"
#include "decode/line.h"
#include "decode/names.h"

namespace caplib {
namespace {


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
    uint8_t type = b.u8(kType);
    uint16_t dst_socket = b.be16(kDst + 10), src_socket = b.be16(kSrc + 10);

    // "IPX %08X:%04X%08X:%s-->%08X:%04X%08X:%s Type:%s Hop:%u", source first;
    // unnamed sockets in "%04X", unnamed types in "%2u".
    Line<128> line;
    auto address = [&](uint32_t at, uint16_t socket) {
        line.hex(b.be32(at), 8).chr(':').hex(b.be16(at + 4), 4).hex(b.be32(at + 6), 8).chr(':');
        if (const char *name = name_of(kSockets, socket)) line.str(name);
        else line.hex(socket, 4);
    };
    line.str("IPX ");
    address(kSrc, src_socket);
    line.str("-->");
    address(kDst, dst_socket);
    line.str(" Type:");
    if (const char *name = name_of(kTypes, type)) line.str(name);
    else line.dec(type, 2);
    line.str(" Hop:").dec(b.u8(kHops));
    if (!out.put(line.view()) || !out.put(out.separator())) return PROTO_END;

    cur.consume(kHeader);
    return next_for(type, dst_socket, src_socket);
}

}  // namespace caplib
