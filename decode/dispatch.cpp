#include "decode/dispatch.h"

#include <array>
#include <cstring>
#include <string>

#include "caplib.h"
#include "decode/decoders.h"

namespace caplib {
namespace {

// One row per protocol id. The chain starts a decoder only when its
// minimum header is captured; with fewer bytes it ends there, after the
// sliced line when the row has one. Most decoders thus read their fixed
// header without a check of their own.
struct Registration {
    uint32_t id = PROTO_END;
    const char *name = nullptr;
    uint32_t min_header = 0;
    const char *sliced = nullptr;  // nullptr: a short header ends the chain silently
    Decoder decode = nullptr;      // nullptr: no decoder, the chain ends
    bool empty_is_silent = false;  // nothing captured at all: no sliced line
};

constexpr Registration kRegistrations[] = {
    {PROTO_PPP, "PPP", 0, nullptr, decode_ppp_chain},
    {PROTO_ETHERNET, "Ethernet", 14, "sliced Ethernet header", decode_ethernet},
    {PROTO_TOKENRING, "Tokenring", 35, "sliced Tokenring header", decode_tokenring},
    {PROTO_IPX, "IPX", 30, "sliced IPX header", decode_ipx},
    {PROTO_SPX, "SPX", 12, "sliced SPX header", decode_spx},
    {PROTO_NCP, "NCP", 8, "sliced NCP header", decode_ncp},
    {PROTO_ARP, "ARP", 28, "sliced ARP header", decode_arp},
    {PROTO_IP, "IP", 20, "sliced IP header", decode_ip},
    {PROTO_ICMP, "ICMP", 8, "sliced ICMP header", decode_icmp},
    {PROTO_UDP, "UDP", 8, "sliced UDP header", decode_udp},
    {PROTO_TCP, "TCP", 8, "sliced TCP header", decode_tcp},
    // A bare acknowledgement on the session port carries no payload.
    {PROTO_NBSS, "NetBIOS session", 4, "sliced NetBIOS header", decode_nbss, true},
    {PROTO_SMB, "SMB", 33, "sliced SMB header", smb_decode},
    {PROTO_IPXWAN, "IPXWAN", 11, "sliced IPXWAN header", decode_ipxwan},
    {PROTO_NBNS, "NetBIOS name service", 12, nullptr, decode_nbns},
    {PROTO_NBDS, "NetBIOS datagram", 14, nullptr, decode_nbds},
    {PROTO_IPX_NBNAME, "IPX NetBIOS name", 50, "sliced NetBIOS header", decode_ipx_nbname},
    {PROTO_IPX_NBDATA, "IPX NetBIOS data", 0, nullptr, decode_ipx_nbdata},
    {PROTO_PPPOE_DISC, "PPPoE Discovery", 6, "sliced PPPoE Discovery header", decode_pppoe_discovery},
    {PROTO_PPPOE_SESS, "PPPoE Session", 6, "sliced PPPoE Discovery header", decode_pppoe_session},
    {PROTO_IP_VJU, "IP (VJ uncompressed)", 20, "sliced IP header", decode_ip_vju},
    {PROTO_VJC, "VJ compressed", 0, nullptr, decode_vjc},
};

// The rows by id, for the chain's one lookup per decoder.
constexpr std::array<Registration, PROTO_COUNT> kById = [] {
    std::array<Registration, PROTO_COUNT> t{};
    for (const Registration &r : kRegistrations) t[r.id] = r;
    return t;
}();

constexpr bool one_row_per_id() {
    for (uint32_t id = 0; id < PROTO_COUNT; ++id) {
        int rows = 0;
        for (const Registration &r : kRegistrations) rows += r.id == id;
        if (rows > 1) return false;
    }
    for (const Registration &r : kRegistrations)
        if (r.id == PROTO_END || r.id >= PROTO_COUNT) return false;
    return true;
}
static_assert(one_row_per_id(), "every protocol id has at most one row");

// Layer code -> first protocol id.
constexpr std::array<uint32_t, 9> kFirstProto = {
    PROTO_PPP, PROTO_ETHERNET, PROTO_TOKENRING, PROTO_IP, PROTO_IPX, PROTO_ARP,
    PROTO_END, PROTO_END,      PROTO_END,  // ISAKMP, BNEP, RFC1483: named only
};

// The thread's separator. Every CAPLIB_decode call sets it: short ones are
// copied into a plain buffer, which needs no construction guard on each
// access; only a long one takes the string.
thread_local char t_short[32] = "\n";
thread_local bool t_is_long = false;
thread_local std::string t_long;

// Inlined into CAPLIB_decode, which calls it for every frame.
[[gnu::always_inline]] inline void store_separator(const char *sep) {
    if (!sep) sep = "\n";
    // Copied as it is read: most separators are a character or two.
    for (size_t i = 0; i < sizeof t_short; ++i) {
        t_short[i] = sep[i];
        if (sep[i] == '\0') {
            t_is_long = false;
            return;
        }
    }
    t_long.assign(sep);
    t_is_long = true;
}

}  // namespace

const char *thread_separator() { return t_is_long ? t_long.c_str() : t_short; }
void set_separator(const char *sep) { store_separator(sep); }

Decoder decoder_for(uint32_t id) { return id < PROTO_COUNT ? kById[id].decode : nullptr; }

uint32_t first_proto(uint32_t layer) {
    return layer < kFirstProto.size() ? kFirstProto[layer] : PROTO_END;
}

void decode_chain(uint32_t id, Bytes frame, Text &text) {
    Cursor cursor(frame);
    while (id < PROTO_COUNT && kById[id].decode) {
        if (text.left() < DECODER_MIN_SPACE) return;
        const Registration &r = kById[id];
        if (cursor.remaining() < r.min_header) {
            if (r.sliced && !(r.empty_is_silent && cursor.remaining() == 0) && text.put(r.sliced))
                text.put(text.separator());
            return;
        }
        id = r.decode(cursor, text);
    }
}

void decode_layer(uint32_t layer, Bytes frame, Text &text) {
    decode_chain(first_proto(layer), frame, text);
}

}  // namespace caplib

extern "C" CAPLIB_API void CAPLIB_decode(uint32_t layer, const unsigned char *data, uint32_t length,
                                         char *text, uint32_t room, const char *separator) {
    // Room 0 or no buffer still sets the thread's separator, which
    // CAPLIB_decode_ppp goes on using; no decoder starts without room.
    caplib::store_separator(separator);
    caplib::Text out(text, room, separator);
    caplib::decode_layer(layer, caplib::Bytes(data, length), out);
}
