#include "decode/dispatch.h"

#include <array>

#include "caplib.h"
#include "decode/decoders.h"

namespace caplib {
namespace {

struct Entry {
    Decoder decode;  // nullptr: not built, the chain ends here
};

// Indexed by protocol id.
constexpr std::array<Entry, PROTO_COUNT> kProtocols = {{
    {nullptr},                    // 0 ends the chain
    {decode_ppp_chain},           // 1 PROTO_PPP
    {decode_ethernet},            // 2 PROTO_ETHERNET
    {decode_tokenring},           // 3 PROTO_TOKENRING
    {decode_ipx},                 // 4 PROTO_IPX
    {decode_spx},                 // 5 PROTO_SPX
    {decode_ncp},                 // 6 PROTO_NCP
    {nullptr},                    // 7 is not assigned
    {decode_arp},                 // 8 PROTO_ARP
    {decode_ip},                  // 9 PROTO_IP
    {decode_icmp},                // 10 PROTO_ICMP
    {decode_udp},                 // 11 PROTO_UDP
    {decode_tcp},                 // 12 PROTO_TCP
    {decode_nbss},                // 13 PROTO_NBSS
    {smb_decode},                 // 14 PROTO_SMB
    {decode_ipxwan},              // 15 PROTO_IPXWAN
    {decode_nbns},                // 16 PROTO_NBNS
    {decode_nbds},                // 17 PROTO_NBDS
    {decode_ipx_nbname},          // 18 PROTO_IPX_NBNAME
    {decode_ipx_nbdata},          // 19 PROTO_IPX_NBDATA
    {decode_pppoe_discovery},     // 20 PROTO_PPPOE_DISC
    {decode_pppoe_session},       // 21 PROTO_PPPOE_SESS
    {decode_ip_vju},              // 22 PROTO_IP_VJU
    {decode_vjc},                 // 23 PROTO_VJC
}};

// Layer code -> first protocol id.
constexpr std::array<uint32_t, 9> kFirstProto = {
    PROTO_PPP, PROTO_ETHERNET, PROTO_TOKENRING, PROTO_IP, PROTO_IPX, PROTO_ARP,
    PROTO_END, PROTO_END,      PROTO_END,  // ISAKMP, BNEP, RFC1483: named only
};

}  // namespace

Decoder decoder_for(uint32_t id) { return id < PROTO_COUNT ? kProtocols[id].decode : nullptr; }

uint32_t first_proto(uint32_t layer) {
    return layer < kFirstProto.size() ? kFirstProto[layer] : PROTO_END;
}

void decode_chain(uint32_t id, Bytes frame, Text &text) {
    Cursor cursor(frame);
    while (id != PROTO_END) {
        if (text.left() < DECODER_MIN_SPACE) return;
        Decoder decode = decoder_for(id);
        if (!decode) return;
        size_t before = text.size();
        uint32_t next = decode(cursor, text);
        // The PPP frame decoder leaves its line open; the chain ends it.
        if (id == PROTO_PPP && text.size() > before) text.put(text.separator());
        id = next;
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
    caplib::set_separator(separator);
    caplib::Text out(text, room, separator);
    caplib::decode_layer(layer, caplib::Bytes(data, length), out);
}
