// Writes examples/sample.eth: a small capture with realistic frames of
// every layer code the library knows, assembled here byte by byte.
//   build/dev/examples/make_sample examples/sample.eth
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "caplib.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes be16(unsigned v) { return {static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)}; }
Bytes text(const char *s) { return Bytes(s, s + std::strlen(s)); }
Bytes zeros(size_t n) { return Bytes(n, 0); }

// A NetBIOS name in its first-level encoding: 16 bytes as 32 letters.
Bytes nb_encoded(const char *name, unsigned char suffix) {
    unsigned char raw[16];
    std::memset(raw, ' ', 15);
    std::memcpy(raw, name, std::strlen(name));
    raw[15] = suffix;
    Bytes out{32};
    for (unsigned char c : raw) {
        out.push_back(static_cast<unsigned char>('A' + (c >> 4)));
        out.push_back(static_cast<unsigned char>('A' + (c & 15)));
    }
    out.push_back(0);
    return out;
}

Bytes ipv4(const Bytes &src, const Bytes &dst, unsigned char proto, const Bytes &payload,
           unsigned id = 0x1c46, unsigned flags = 0x4000) {
    Bytes h = cat({{0x45, 0x00}, be16(20 + static_cast<unsigned>(payload.size())), be16(id),
                   be16(flags), {64, proto, 0, 0}, src, dst});
    unsigned long sum = 0;
    for (size_t i = 0; i < h.size(); i += 2) sum += static_cast<unsigned>(h[i] << 8 | h[i + 1]);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    h[10] = static_cast<unsigned char>(~sum >> 8);
    h[11] = static_cast<unsigned char>(~sum);
    return cat({h, payload});
}

Bytes udp(unsigned sport, unsigned dport, const Bytes &payload) {
    return cat({be16(sport), be16(dport), be16(8 + static_cast<unsigned>(payload.size())), {0, 0}, payload});
}

Bytes tcp(unsigned sport, unsigned dport, unsigned long seq, unsigned long ack, unsigned char flags,
          const Bytes &payload) {
    return cat({be16(sport), be16(dport), be16(static_cast<unsigned>(seq >> 16)), be16(seq & 0xFFFF),
                be16(static_cast<unsigned>(ack >> 16)), be16(ack & 0xFFFF), {0x50, flags}, be16(8760),
                {0, 0, 0, 0}, payload});
}

const Bytes kPc = {0x00, 0x60, 0x08, 0x9b, 0x0c, 0x21};
const Bytes kServer = {0x00, 0xa0, 0xc9, 0x14, 0x5a, 0x3e};
const Bytes kBroadcast = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
const Bytes kPcIp = {192, 168, 1, 20};
const Bytes kServerIp = {192, 168, 1, 1};
const Bytes kBcastIp = {192, 168, 1, 255};

Bytes ether(const Bytes &dst, const Bytes &src, unsigned type, const Bytes &payload) {
    Bytes f = cat({dst, src, be16(type), payload});
    if (f.size() < 60) f.resize(60, 0);
    return f;
}

Bytes arp_request() {
    return cat({{0x00, 0x01, 0x08, 0x00, 6, 4, 0x00, 0x01}, kPc, kPcIp, zeros(6), kServerIp});
}

Bytes smb_negotiate() {
    Bytes dialects = cat({{2}, text("PC NETWORK PROGRAM 1.0"), {0, 2}, text("LANMAN1.0"), {0, 2},
                          text("NT LM 0.12"), {0}});
    Bytes smb = cat({{0xFF, 'S', 'M', 'B', 0x72, 0, 0, 0, 0, 0x18, 0x01, 0x28}, zeros(12),
                     {0, 0, 0xfe, 0xca, 0, 0, 0x01, 0x00, 0},
                     {static_cast<unsigned char>(dialects.size()), 0}, dialects});
    return cat({{0x00, 0x00}, be16(static_cast<unsigned>(smb.size())), smb});
}

Bytes name_query() {
    return cat({{0x82, 0x28, 0x01, 0x10, 0, 1, 0, 0, 0, 0, 0, 0}, nb_encoded("WORKGROUP", 0x1d),
                {0x00, 0x20, 0x00, 0x01}});
}

struct Record {
    unsigned layer;
    const char *name;
    unsigned direction;
    unsigned attribute;
    unsigned channel;
    Bytes data;
};

}  // namespace

int main(int argc, char **argv) {
    const char *path = argc > 1 ? argv[1] : "sample.eth";
    Bytes lcp = {0xff, 0x03, 0xc0, 0x21, 0x01, 0x07, 0x00, 0x0e, 0x01, 0x04, 0x05, 0xdc,
                 0x05, 0x06, 0x0a, 0x0b, 0x0c, 0x0d};
    Bytes ipcp = {0xff, 0x03, 0x80, 0x21, 0x01, 0x02, 0x00, 0x10, 0x03, 0x06, 192, 168,
                  1, 20, 0x81, 0x06, 192, 168, 1, 1};
    Bytes ping = cat({{8, 0, 0, 0, 0x02, 0x00, 0x00, 0x01}, text("abcdefghijklmnopqrstuvwabcdefghi")});
    Bytes ppp_ip = cat({{0xff, 0x03, 0x00, 0x21}, ipv4(kPcIp, {10, 0, 0, 1}, 1, ping)});
    Bytes ipx_sap = cat({{0xff, 0xff, 0x00, 0x60, 0x00, 0x04}, {0, 0, 0, 1}, kBroadcast, be16(0x0452),
                         {0, 0, 0, 1}, kServer, be16(0x0452), {0x00, 0x02}, zeros(30)});
    Bytes padi = cat({{0x11, 0x09, 0x00, 0x00, 0x00, 0x0c}, {0x01, 0x01, 0x00, 0x00},
                      {0x01, 0x03, 0x00, 0x04, 0xde, 0xad, 0xbe, 0xef}});

    std::vector<Record> records = {
        {0, "ch1", 1, 0, 2, lcp},
        {0, "ch1", 0, 0, 2, ipcp},
        {0, "ch1", 1, 0, 2, ppp_ip},
        {1, "eth0", 1, 0, 0, ether(kBroadcast, kPc, 0x0806, arp_request())},
        {1, "eth0", 1, 0, 0,
         ether(kBroadcast, kPc, 0x0800, ipv4(kPcIp, kBcastIp, 17, udp(137, 137, name_query())))},
        {1, "eth0", 1, 0, 0,
         ether(kServer, kPc, 0x0800,
               ipv4(kPcIp, kServerIp, 6, tcp(1025, 139, 0x3b2a1c01, 0x0a55aa01, 0x18, smb_negotiate())))},
        {1, "eth0", 0, 1, 0, ether(kPc, kServer, 0x0800, ipv4(kServerIp, kPcIp, 1, cat({{0, 0, 0, 0, 0x02, 0x00, 0x00, 0x01}, zeros(24)})))},
        {1, "eth0", 1, 0, 0, cat({kBroadcast, kPc, be16(static_cast<unsigned>(ipx_sap.size())), ipx_sap})},
        {1, "eth0", 1, 0, 0, ether(kBroadcast, kPc, 0x8863, padi)},
        {2, "tr0", 1, 0, 0,
         cat({{0x10, 0x40}, kServer, kPc, {0xaa, 0xaa, 0x03, 0, 0, 0}, be16(0x0800),
              ipv4(kPcIp, kServerIp, 17, udp(1030, 53, zeros(16)))})},
        {3, "ip0", 1, 2, 0, ipv4(kPcIp, {10, 0, 0, 1}, 6, tcp(1026, 80, 1000, 0, 0x02, {}))},
        {4, "ipx0", 0, 0, 0, ipx_sap},
        {5, "arp0", 1, 3, 0, arp_request()},
        {6, "ike0", 1, 0, 0, zeros(28)},
        {7, "bt0", 0, 6, 0, {0x01, 0x02, 0x03, 0x04}},
        {8, "atm0", 1, 9, 0, {0xaa, 0xaa, 0x03, 0x00, 0x00, 0x00, 0x08, 0x00}},
    };

    CAPLIB_OUTPUT *out = CAPLIB_output_zekbin(path);
    if (!out || CAPLIB_output_header(out, NULL) != 0) {
        std::fprintf(stderr, "make_sample: cannot write %s\n", path);
        if (out) CAPLIB_output_close(out, -1);
        return 1;
    }
    int rc = 0;
    unsigned n = 0;
    for (const Record &r : records) {
        CAPLIB_PAKET p = {};
        p.name = r.name;
        p.channel = r.channel;
        p.direction = r.direction;
        p.attribute = r.attribute;
        p.layer = r.layer;
        p.time.tv_sec = 1796405053 + static_cast<int32_t>(n / 3);
        p.time.tv_usec = static_cast<int32_t>(123000 + 41000 * n);
        p.length = static_cast<uint32_t>(r.data.size());
        p.orig_length = p.length;
        p.data = r.data.data();
        p.number = ++n;
        if ((rc = CAPLIB_output_paket(out, &p)) != 0) break;
    }
    CAPLIB_output_close(out, rc);
    if (rc != 0) std::fprintf(stderr, "make_sample: writing %s failed\n", path);
    return rc ? 1 : 0;
}
