// NetBIOS name, datagram and session services, SMB and the mailslot
// messages carried in SMB transactions.
#include <gtest/gtest.h>

#include <string_view>

#include "decode/dispatch.h"
#include "protocols/netbios/netbios.h"
#include "support.h"

using namespace caplib_test;
using namespace std::literals;
using caplib::PROTO_NBDS, caplib::PROTO_NBNS, caplib::PROTO_NBSS, caplib::PROTO_SMB;

namespace {

Frame cstr(std::string_view s) { return cat({ascii(s), {0}}); }
// A zero-terminated little-endian 16-bit string.
Frame wstr(std::string_view s) {
    Frame out;
    for (char c : s) out = cat({out, le16(static_cast<uint8_t>(c))});
    return cat({out, le16(0)});
}

// One label of the first-level encoding of raw bytes, two letters per byte.
Frame nb_label(const Frame &raw) {
    Frame out{static_cast<uint8_t>(raw.size() * 2)};
    for (uint8_t b : raw) out = cat({out, {static_cast<uint8_t>('A' + (b >> 4)), static_cast<uint8_t>('A' + (b & 15))}});
    return out;
}
// The 16 raw bytes of a name: padded with blanks to 15 bytes, then the suffix.
Frame nb_raw(std::string_view name, uint8_t suffix) {
    Frame raw = ascii(name);
    raw.resize(15, ' ');
    return cat({raw, {suffix}});
}
// An encoded name: its label, the scope's labels and the final zero.
Frame nb_encode(std::string_view name, uint8_t suffix, std::string_view scope = "") {
    Frame out = nb_label(nb_raw(name, suffix));
    for (size_t dot = 0; !scope.empty(); scope = dot == scope.npos ? "" : scope.substr(dot + 1)) {
        dot = scope.find('.');
        out = cat({out, {static_cast<uint8_t>(scope.substr(0, dot).size())}, ascii(scope.substr(0, dot))});
    }
    return cat({out, {0}});
}

// A name service message: id 0x1234, the flag bytes, the four counts, the body.
Frame nbns(uint8_t b2, uint8_t b3, uint16_t qd, uint16_t an, uint16_t ns, uint16_t ar, const Frame &body = {}) {
    return cat({hex("1234"), {b2, b3}, be16(qd), be16(an), be16(ns), be16(ar), body});
}
Frame query(const Frame &name) { return nbns(0x01, 0x10, 1, 0, 0, 0, cat({name, hex("0020 0001")})); }
Frame record(const Frame &name, uint16_t type, uint16_t cls, uint32_t ttl, const Frame &rdata) {
    return cat({name, be16(type), be16(cls), be32(ttl), be16(static_cast<uint16_t>(rdata.size())), rdata});
}
// A node status answer listing the given node names.
Frame node_status(std::initializer_list<Frame> names) {
    Frame rdata{static_cast<uint8_t>(names.size())};
    for (const Frame &n : names) rdata = cat({rdata, n, hex("0400")});
    return nbns(0x84, 0x00, 0, 1, 0, 0, record(nb_encode("*", 0), 33, 1, 0, rdata));
}

// A datagram header: type, flags, id 0x8001, 192.168.0.5:138, length, offset 0.
Frame dgram(uint8_t type, uint8_t flags, const Frame &rest) {
    return cat({{type, flags}, hex("8001 C0A80005 008A"), be16(static_cast<uint16_t>(rest.size())), hex("0000"), rest});
}

// An SMB: command, flags, the tree, process, user and multiplex ids, the
// words, the byte count and the byte area.
Frame smb(uint8_t command, uint8_t flags, std::vector<uint16_t> words, const Frame &bytes = {}, const char *ids = "0000 0000 0000 0000") {
    Frame out = cat({hex("FF534D42"), {command, 0, 0, 0, 0, flags, 0, 0}, Frame(12, 0), hex(ids), {static_cast<uint8_t>(words.size())}});
    for (uint16_t w : words) out = cat({out, le16(w)});
    return cat({out, le16(static_cast<uint16_t>(bytes.size())), bytes});
}
std::vector<uint16_t> count_up(uint16_t n) {
    std::vector<uint16_t> w;
    for (uint16_t i = 0; i < n; ++i) w.push_back(static_cast<uint16_t>(i * 100));
    return w;
}
// A session message header whose length is the SMB's.
Frame session(const Frame &smb_bytes) { return cat({hex("0000"), be16(static_cast<uint16_t>(smb_bytes.size())), smb_bytes}); }

// A mailslot transaction request (17 words, the data offset in word 12)
// carrying `message` to the mailslot `name`.
Frame trans(std::string_view name, const Frame &message) {
    const uint16_t size = static_cast<uint16_t>(message.size()), at = static_cast<uint16_t>(35 + 2 * 17 + name.size() + 1);
    return smb(0x25, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, size, at, 3, 1, 1, 2}, cat({cstr(name), message}));
}
Frame browse(const Frame &m) { return trans("\\MAILSLOT\\BROWSE", m); }
Frame netlogon(const Frame &m) { return trans("\\MAILSLOT\\NET\\NETLOGON", m); }
// A 16-byte name field as browsers fill it: the name, zeros, the suffix.
Frame raw16(std::string_view name, uint8_t suffix) {
    Frame f = ascii(name);
    f.resize(15, 0);
    return cat({f, {suffix}});
}
// Host, domain and local master announcements share their layout.
Frame announce(uint8_t opcode, std::string_view comment) {
    return cat({{opcode, 3}, le32(720000), raw16("PC1", 0x20), {4, 0}, le32(0x00051003), {15, 1}, le16(0xAA55), cstr(comment)});
}
// SAMLOGON: request count, computer, user, mailslot, account control,
// domain identifier size and identifier, three bytes, version, tokens.
Frame samlogon(uint32_t dss, const Frame &domain_id) {
    return cat({le16(18), le16(1), wstr("PC1"), wstr("alice"), cstr("\\MAILSLOT\\NET\\GETDC123"), le32(0x80), le32(dss), domain_id,
                hex("000000"), le32(11), le16(0xFFFF), le16(0xFFFE)});
}

Frame patch(Frame f, size_t at, uint8_t v) {
    f[at] = v;
    return f;
}

constexpr uint32_t kEth = 1;
const Frame kWorkgroup = nb_encode("WORKGROUP", 0x1D);
const std::string k63(63, 's');
const Frame kPositive = nbns(0x85, 0x80, 0, 1, 0, 0, record(nb_encode("PC1", 0x20), 32, 1, 300000, hex("6000 C0A80005")));
const Frame kNames = cat({nb_encode("PC1", 0x00), nb_encode("WORKGROUP", 0x1E)});
const Frame kNegotiate = smb(0x72, 0x18, {}, cat({hex("02"), cstr("PC NETWORK PROGRAM 1.0"), hex("02"), cstr("NT LM 0.12")}), "0000 FFFE 0000 0100");
const Frame kAnnouncement = browse(announce(1, "Hello world"));

// Node names behind pointers: the first is a name, each further one points
// to the one before it; the twelfth needs one jump too many.
Frame pointer_chain() {
    Frame rdata = cat({{12}, kWorkgroup, hex("0400")});
    for (uint8_t at = 1; rdata.size() < 1 + 36 + 11 * 4; at = static_cast<uint8_t>(rdata.size() - 4))
        rdata = cat({rdata, {0xC0, at}, hex("0400")});
    return nbns(0x84, 0x00, 0, 1, 0, 0, record(nb_encode("*", 0), 33, 1, 0, rdata));
}

// Name, session and datagram services and SMB, then two captured frames.
const Rows kNetbios = samples({
    {"query", from(PROTO_NBNS), query(kWorkgroup), "NMB ID=4660 OP=Query(0) R=0 B=1 RA=0 RD=1 T=0 A=0 RC=0\n  qdcount=1 ancount=0 nscount=0 arcount=0\n  question: name=WORKGROUP(1d/Main-Browser) type=NB class=IN\n"},
    {"positive response", from(PROTO_NBNS), kPositive, "NMB ID=4660 OP=Query(0) R=1 B=0 RA=1 RD=1 T=0 A=1 RC=0\r\n  qdcount=0 ancount=1 nscount=0 arcount=0\r\n  answers: name=PC1(20/Server) type=NB class=IN ttl=300000 rdlen=6\r\n           rdata: 0x60 192.168.0.5\r\n", 8192, "\r\n"},
    {"first record of each section", from(PROTO_NBNS), nbns(0x29, 0x10, 1, 1, 0, 1, cat({nb_encode("PC1", 0), hex("0020 0001"), record(hex("C00C"), 32, 1, 0, hex("0000 C0A80005")), record(hex("C00C"), 32, 1, 300000, hex("E000 C0A80006"))})), "NMB ID=4660 OP=Registration(5) R=0 B=1 RA=0 RD=1 T=0 A=0 RC=0\n  qdcount=1 ancount=1 nscount=0 arcount=1\n  question: name=PC1(0/Workstation) type=NB class=IN\n  answers: name=PC1(0/Workstation) type=NB class=IN ttl=0 rdlen=6\n           rdata: 0x0 192.168.0.5\n  additional: name=PC1(0/Workstation) type=NB class=IN ttl=300000 rdlen=6\n              rdata: 0xe0 192.168.0.6\n"},
    {"authority records", from(PROTO_NBNS), nbns(0x30, 0x00, 0, 0, 2, 0, cat({record(nb_encode("A", 0), 2, 1, 0, {}), record(nb_encode("B", 0), 2, 1, 0, {})})), "NMB ID=4660 OP=Release(6) R=0 B=0 RA=0 RD=0 T=0 A=0 RC=0\n  qdcount=0 ancount=0 nscount=2 arcount=0\n  nsrecs: name=A(0/Workstation) type=NS class=IN ttl=0 rdlen=0\n"},
    {"address entry too short", from(PROTO_NBNS), nbns(0x80, 0x00, 0, 1, 0, 0, record(nb_encode("G", 0), 32, 1, 0, hex("6000C0A800"))), "NMB ID=4660 OP=Query(0) R=1 B=0 RA=0 RD=0 T=0 A=0 RC=0\n  qdcount=0 ancount=1 nscount=0 arcount=0\n  answers: name=G(0/Workstation) type=NB class=IN ttl=0 rdlen=5\n"},
    {"other class", from(PROTO_NBNS), nbns(0x80, 0x00, 0, 1, 0, 0, record(nb_encode("G", 0), 32, 3, 0, hex("6000C0A80005"))), "NMB ID=4660 OP=Query(0) R=1 B=0 RA=0 RD=0 T=0 A=0 RC=0\n  qdcount=0 ancount=1 nscount=0 arcount=0\n  answers: name=G(0/Workstation) type=NB class=3 ttl=0 rdlen=6\n"},
    {"numeric type and class, negative TTL", from(PROTO_NBNS), nbns(0x80, 0x00, 1, 1, 0, 0, cat({nb_encode("Q", 0), hex("0063 0007"), record(hex("C00C"), 10, 255, 0xFFFFFFFF, {})})), "NMB ID=4660 OP=Query(0) R=1 B=0 RA=0 RD=0 T=0 A=0 RC=0\n  qdcount=1 ancount=1 nscount=0 arcount=0\n  question: name=Q(0/Workstation) type=99 class=7\n  answers: name=Q(0/Workstation) type=NULL class=255 ttl=-1 rdlen=0\n"},
    {"only the first question", from(PROTO_NBNS), nbns(0x00, 0x00, 2, 0, 0, 0, cat({nb_encode("ONE", 0x20), hex("0001 0001")})), "NMB ID=4660 OP=Query(0) R=0 B=0 RA=0 RD=0 T=0 A=0 RC=0\n  qdcount=2 ancount=0 nscount=0 arcount=0\n  question: name=ONE(20/Server) type=A class=IN\n"},
    {"node names", from(PROTO_NBNS), node_status({nb_encode("PC1", 0x20), nb_encode("WORKGROUP", 0x1B), cat({nb_label(ascii("FILESERVER      ")), {0}}), nb_encode("MY PC", 0x01), nb_encode("", 0x03), nb_encode("\xE9" "AB", 0x06), nb_encode("NM", 0xBE), nb_encode("X", 0x42), cat({nb_label(ascii("AB")), {0}}), nb_encode("R", 0x21)}), "NMB ID=4660 OP=Query(0) R=1 B=0 RA=0 RD=0 T=0 A=1 RC=0\n  qdcount=0 ancount=1 nscount=0 arcount=0\n  answers: name=*(0/Workstation) type=NBSTAT class=IN ttl=0 rdlen=333\n         data: PC1(20/Server) 400\n         data: WORKGROUP(1b/Domain-Main-Browser) 400\n         data: FILESERVER(20/Server) 400\n         data: MY PC(1/Register) 400\n         data:  (3/Messager) 400\n         data: \\xe9AB(6/RAS-Server) 400\n         data: NM(be/Network-Monitor-Agent) 400\n         data: X(42/??\?) 400\n         data: AB(0/Workstation) 400\n         data: R(21/RAS-Client) 400\n"},
    {"node names with scopes", from(PROTO_NBNS), node_status({nb_encode("PC1", 0x1E, "corp.example"), nb_encode("PC1", 0x1F, k63), cat({nb_label(cat({Frame(15, 0x01), {0xBF}})), {63}, ascii(k63), {0}}), nb_encode("X", 0x1C, k63.substr(0, 60) + ".abc"), nb_encode("Y", 0)}), "NMB ID=4660 OP=Query(0) R=1 B=0 RA=0 RD=0 T=0 A=1 RC=0\n  qdcount=0 ancount=1 nscount=0 arcount=0\n  answers: name=*(0/Workstation) type=NBSTAT class=IN ttl=0 rdlen=387\n         data: PC1(1e/Browserelection).corp.example 400\n         data: PC1(1f/NetDDE).sssssssssssssssssssssssssssssssssssssssssssssssssssssssssssssss 400\n         data: \\x01\\x01\\x01\\x01\\x01\\x01\\x01\\x01\\x01\\x01\\x01\\x01\\x01\\x01\\x01(bf/Network-Monitor-Server).sssssssssssssssssssssssssssssssssssssssssssssssssssssssssssssss 400\n"},
    {"node names as raw bytes", from(PROTO_NBNS), node_status({nb_raw("PC1", 0x20)}), "NMB ID=4660 OP=Query(0) R=1 B=0 RA=0 RD=0 T=0 A=1 RC=0\n  qdcount=0 ancount=1 nscount=0 arcount=0\n  answers: name=*(0/Workstation) type=NBSTAT class=IN ttl=0 rdlen=19\n"},
    {"node names behind pointers", from(PROTO_NBNS), pointer_chain(), "NMB ID=4660 OP=Query(0) R=1 B=0 RA=0 RD=0 T=0 A=1 RC=0\n  qdcount=0 ancount=1 nscount=0 arcount=0\n  answers: name=*(0/Workstation) type=NBSTAT class=IN ttl=0 rdlen=81\n         data: WORKGROUP(1d/Main-Browser) 400\n         data: WORKGROUP(1d/Main-Browser) 400\n         data: WORKGROUP(1d/Main-Browser) 400\n         data: WORKGROUP(1d/Main-Browser) 400\n         data: WORKGROUP(1d/Main-Browser) 400\n         data: WORKGROUP(1d/Main-Browser) 400\n         data: WORKGROUP(1d/Main-Browser) 400\n         data: WORKGROUP(1d/Main-Browser) 400\n         data: WORKGROUP(1d/Main-Browser) 400\n         data: WORKGROUP(1d/Main-Browser) 400\n         data: WORKGROUP(1d/Main-Browser) 400\n"},
    {"AA alone, format error", from(PROTO_NBNS), nbns(0x04, 0x01, 0, 0, 0, 0), "NMB ID=4660 OP=Query(0) R=0 B=0 RA=0 RD=0 T=0 A=1 format error\n  qdcount=0 ancount=0 nscount=0 arcount=0\n"},
    {"TC alone, server failure", from(PROTO_NBNS), nbns(0x02, 0x02, 0, 0, 0, 0), "NMB ID=4660 OP=Query(0) R=0 B=0 RA=0 RD=0 T=1 A=0 server failure\n  qdcount=0 ancount=0 nscount=0 arcount=0\n"},
    {"refresh, already active", from(PROTO_NBNS), nbns(0x40, 0x06, 0, 0, 0, 0), "NMB ID=4660 OP=refresh(8) R=0 B=0 RA=0 RD=0 T=0 A=0 already active\n  qdcount=0 ancount=0 nscount=0 arcount=0\n"},
    {"opcode 9, name error", from(PROTO_NBNS), nbns(0x48, 0x03, 0, 0, 0, 0), "NMB ID=4660 OP=<unknown opcode>(9) R=0 B=0 RA=0 RD=0 T=0 A=0 name error\n  qdcount=0 ancount=0 nscount=0 arcount=0\n"},
    {"opcode 1, unsupported request", from(PROTO_NBNS), nbns(0x88, 0x04, 0, 0, 0, 0), "NMB ID=4660 OP=<unknown opcode>(1) R=1 B=0 RA=0 RD=0 T=0 A=0 unsupported requeust\n  qdcount=0 ancount=0 nscount=0 arcount=0\n"},
    {"name conflict", from(PROTO_NBNS), nbns(0xA8, 0x07, 0, 0, 0, 0), "NMB ID=4660 OP=Registration(5) R=1 B=0 RA=0 RD=0 T=0 A=0 name conflict\n  qdcount=0 ancount=0 nscount=0 arcount=0\n"},
    {"unnamed result code", from(PROTO_NBNS), nbns(0x80, 0x08, 0, 0, 0, 0), "NMB ID=4660 OP=Query(0) R=1 B=0 RA=0 RD=0 T=0 A=0 RC=8\n  qdcount=0 ancount=0 nscount=0 arcount=0\n"},
    {"second answer broken", from(PROTO_NBNS), nbns(0x80, 0x00, 0, 2, 0, 0, cat({record(nb_encode("G", 0), 32, 1, 0, {}), hex("C0FF")})), ""},
    {"pointer in the scope", from(PROTO_NBNS), query(cat({nb_label(nb_raw("PC1", 0)), hex("C000")})), ""},
    {"odd label", from(PROTO_NBNS), query(hex("03 414243 00")), ""},
    {"empty label", from(PROTO_NBNS), query(hex("0000")), ""},
    {"room for the address line", from(PROTO_NBNS), kPositive, "NMB ID=4660 OP=Query(0) R=1 B=0 RA=1 RD=1 T=0 A=1 RC=0\n  qdcount=0 ancount=1 nscount=0 arcount=0\n  answers: name=PC1(20/Server) type=NB class=IN ttl=300000 rdlen=6\n           rdata: 0x60 192.168.0.5\n", 164 + 45},
    {"no room for the address line", from(PROTO_NBNS), kPositive, "NMB ID=4660 OP=Query(0) R=1 B=0 RA=1 RD=1 T=0 A=1 RC=0\n  qdcount=0 ancount=1 nscount=0 arcount=0\n  answers: name=PC1(20/Server) type=NB class=IN ttl=300000 rdlen=6\n", 164 + 44},
    // Datagram and session services, SMB.
    {"direct group datagram", from(PROTO_NBDS), dgram(0x11, 0x06, cat({kNames, Frame(200, 0)})), "DGRAM msg_type=direct-group P-Node F=1 M=0 dgmid=32769\n  src=192.168.0.5:138 len=268 off=0\n  src=PC1(0/Workstation) dest=WORKGROUP(1e/Browserelection) dsize=200\nSMB signature not found\nSMB-request \"mkdir\"\n   size=20224 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n   tid=0 pid=0 uid=0 mid=0 wct=0\n"},
    {"direct unique datagram, more to come", from(PROTO_NBDS), dgram(0x10, 0x09, cat({kNames, hex("FF")})), "DGRAM msg_type=direct-unique M-Node F=0 M=1 dgmid=32769\n  src=192.168.0.5:138 len=69 off=0\n  src=PC1(0/Workstation) dest=WORKGROUP(1e/Browserelection) dsize=1\nsliced SMB header\n"},
    {"576 bytes of user data", from(PROTO_NBDS), dgram(0x12, 0x0E, cat({kNames, Frame(576, 0)})), "DGRAM msg_type=broadcast NBDD F=1 M=0 dgmid=32769\n  src=192.168.0.5:138 len=644 off=0\n  src=PC1(0/Workstation) dest=WORKGROUP(1e/Browserelection) dsize=576\nSMB signature not found\nSMB-request \"mkdir\"\n   size=20224 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n   tid=0 pid=0 uid=0 mid=0 wct=0\n"},
    {"no user data", from(PROTO_NBDS), dgram(0x12, 0x02, kNames), ""},
    {"negative query response", from(PROTO_NBDS), dgram(0x16, 0x00, hex("00")), "DGRAM msg_type=negative query response B-Node F=0 M=0 dgmid=32769\n  src=192.168.0.5:138 len=1 off=0\n  src=(0/Workstation) dest=(0/Workstation) dsize=1\n"},
    {"unknown datagram type", from(PROTO_NBDS), dgram(0x17, 0x00, hex("00")), "DGRAM msg_type=0x17 B-Node F=0 M=0 dgmid=32769\n  src=192.168.0.5:138 len=1 off=0\n  src=(0/Workstation) dest=(0/Workstation) dsize=1\n"},
    {"13 bytes", from(PROTO_NBDS), Frame(13, 0x12), ""},
    {"destination name behind a pointer", from(PROTO_NBDS), dgram(0x12, 0x02, cat({nb_encode("PC1", 0), hex("C00E")})), ""},
    {"unreadable source name", from(PROTO_NBDS), dgram(0x10, 0x02, hex("02 5141 00")), "DGRAM msg_type=direct-unique B-Node F=1 M=0 dgmid=32769\n  src=192.168.0.5:138 len=4 off=0\n  src=(0/Workstation) dest=(0/Workstation) dsize=4\nsliced SMB header\n"},
    {"room for two lines", from(PROTO_NBDS), dgram(0x12, 0x02, cat({kNames, smb(0x25, 0x80, {})})), "DGRAM msg_type=broadcast B-Node F=1 M=0 dgmid=32769\n  src=192.168.0.5:138 len=103 off=0\n  src=PC1(0/Workstation) dest=WORKGROUP(1e/Browserelection) d", 150},
    {"empty session payload", from(PROTO_NBSS), {}, ""},
    {"three bytes", from(PROTO_NBSS), hex("000000"), "sliced NetBIOS header\n"},
    {"retarget response", from(PROTO_NBSS), hex("84000006 C0A80001 008B"), ""},
    {"negotiate response", from(PROTO_NBSS), session(smb(0x72, 0x80, {7})), "SMB-response \"negotiate protocol\"\n   size=37 cls=0 reh=0 err=0 flg=0x80 flg2=0x0\n   tid=0 pid=0 uid=0 mid=0 wct=1\n [00]=    7/0x0007\n"},
    {"six words", from(PROTO_SMB), smb(0x2E, 0, {0, 1, 2, 65535, 4, 5}), "SMB-request \"readX\"\n   size=0 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n   tid=0 pid=0 uid=0 mid=0 wct=6\n [00]=    0/0x0000 [01]=    1/0x0001 [02]=    2/0x0002 [03]=65535/0xFFFF [04]=    4/0x0004 [05]=    5/0x0005\n"},
    {"fifteen words", from(PROTO_SMB), smb(0xA2, 0, count_up(15)), "SMB-request \"NT create and X\"\n   size=0 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n   tid=0 pid=0 uid=0 mid=0 wct=15\n [00]=    0/0x0000 [01]=  100/0x0064 [02]=  200/0x00C8 [03]=  300/0x012C [04]=  400/0x0190 [05]=  500/0x01F4\n [06]=  600/0x0258 [07]=  700/0x02BC [08]=  800/0x0320 [09]=  900/0x0384 [10]= 1000/0x03E8\n [11]= 1100/0x044C [12]= 1200/0x04B0 [13]= 1300/0x0514 [14]= 1400/0x0578\n"},
    {"wrong signature", from(PROTO_SMB), patch(smb(0x04, 0, {}), 0, 0xFE), "SMB signature not found\nSMB-request \"close\"\n   size=0 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n   tid=0 pid=0 uid=0 mid=0 wct=0\n"},
    {"unnamed command", from(PROTO_SMB), smb(0xFF, 0, {}), "SMB-request \"0xff\"\n   size=0 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n   tid=0 pid=0 uid=0 mid=0 wct=0\n"},
    {"session setup", from(PROTO_SMB), smb(0x73, 0, {0xFF}, cstr("user")), "SMB-request \"Session Setup & X (user logon)\"\n   size=0 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n   tid=0 pid=0 uid=0 mid=0 wct=1\n [00]=  255/0x00FF\n"},
    {"error fields", from(PROTO_SMB), cat({hex("FF534D42 2D 02 07 1600 80 0340"), Frame(12, 0), hex("0100 0200 0300 0400 00 0000")}), "SMB-response \"openX\"\n   size=0 cls=2 reh=7 err=22 flg=0x80 flg2=0x4003\n   tid=1 pid=2 uid=3 mid=4 wct=0\n"},
    {"byte count missing", from(PROTO_SMB), head(kNegotiate, 34), "SMB-request \"negotiate protocol\"\n   size=0 cls=0 reh=0 err=0 flg=0x18 flg2=0x0\n   tid=0 pid=65279 uid=0 mid=1 wct=0\nsliced SMB header\n"},
    {"dialect without terminator", from(PROTO_SMB), head(kNegotiate, kNegotiate.size() - 1), "SMB-request \"negotiate protocol\"\n   size=0 cls=0 reh=0 err=0 flg=0x18 flg2=0x0\n   tid=0 pid=65279 uid=0 mid=1 wct=0\n   \"PC NETWORK PROGRAM 1.0\"\n"},
    {"data offset not captured", from(PROTO_SMB), head(smb(0x25, 0, {1, 2}, cstr("\\MAILSLOT\\BROWSE")), 56), "SMB-request \"trans\"\n   size=0 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n   tid=0 pid=0 uid=0 mid=0 wct=2\n [00]=    1/0x0001 [01]=    2/0x0002\n"},
    {"room for the separator", from(PROTO_SMB), smb(0x2F, 0, count_up(7)), "SMB-request \"writeX\"\r\n   size=0 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\r\n   tid=0 pid=0 uid=0 mid=0 wct=7\r\n [00]=    0/0x0000 [01]=  100/0x0064 [02]=  200/0x00C8 [03]=  300/0x012C [04]=  400/0x0190 [05]=  500/0x01F4\r\n", 210 + 3, "\r\n"},
    {"no room for the separator", from(PROTO_SMB), smb(0x2F, 0, count_up(7)), "SMB-request \"writeX\"\r\n   size=0 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\r\n   tid=0 pid=0 uid=0 mid=0 wct=7\r\n [00]=    0/0x0000 [01]=  100/0x0064 [02]=  200/0x00C8 [03]=  300/0x012C [04]=  400/0x0190 [05]=  500/0x01F4", 210 + 2, "\r\n"},
    // Captured.
    {"captured domain announcement", kEth, hex("ffffffffffff00042357a57a0800450000ed3889000080117c2ec0a801f9c0a801ff008a008a00d943de110e891fc0a801f9008a00c30000204545454b4641444a444646444441454b4341434143414341434143414341414100204142414346504650454e4644454346434550464846444546465046504143414200ff534d422500000000000000000000000000000000000000000000000000000011000029000000000000000000e80300000000000000002900560003000100010002003a005c4d41494c534c4f545c42524f575345000c0060ea000041524245495453475255505045000100030a001000804cfe0403444a50393553304a00"), "Ethernet II 00042357A57A -> FFFFFFFFFFFF Type=0x0800\nIP 192.168.1.249 --> 192.168.1.255 Protocol=UDP\nPort 138->138\nDGRAM msg_type=direct-group NBDD F=1 M=0 dgmid=35103\n  src=192.168.1.249:138 len=195 off=0\n  src=DJP95S0J(0/Workstation) dest=\\x01\\x02__MSBROWSE__\\x02(1/Register) dsize=127\nSMB-request \"trans\"\n   size=82432 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n   tid=0 pid=0 uid=0 mid=0 wct=17\n [00]=    0/0x0000 [01]=   41/0x0029 [02]=    0/0x0000 [03]=    0/0x0000 [04]=    0/0x0000 [05]=    0/0x0000\n [06]= 1000/0x03E8 [07]=    0/0x0000 [08]=    0/0x0000 [09]=    0/0x0000 [10]=    0/0x0000\n [11]=   41/0x0029 [12]=   86/0x0056 [13]=    3/0x0003 [14]=    1/0x0001 [15]=    1/0x0001\n [16]=    2/0x0002\nBROWSE Anncounce(12) ARBEITSGRUPPE(0/Workstation) count=0 ttl=60 OS=(3,10) stype=0x80001000 sig=0x4c 0x4 comment=DJP95S0J\n"},
    {"captured registration", kEth, hex("ffffffffffff00042357a57a08004500006038c2000080116a0ca9fe43c2a9feffff00890089004cb508892e29100001000000000001204545454b4641444a444646444441454b434143414341434143414341434141410000200001c00c00200001000493e000066000a9fe43c2"), "Ethernet II 00042357A57A -> FFFFFFFFFFFF Type=0x0800\nIP 169.254.67.194 --> 169.254.255.255 Protocol=UDP\nPort 137->137\nNMB ID=35118 OP=Registration(5) R=0 B=1 RA=0 RD=1 T=0 A=0 RC=0\n  qdcount=1 ancount=0 nscount=0 arcount=1\n  question: name=DJP95S0J(0/Workstation) type=NB class=IN\n  additional: name=DJP95S0J(0/Workstation) type=NB class=IN ttl=300000 rdlen=6\n              rdata: 0x60 169.254.67.194\n"},
});

TEST(Netbios, ExactTexts) { expect_rows(kNetbios); }

// A message is shown whole or not at all.
TEST(Netbios, NameServiceTruncationsShowNothing) {
    for (size_t r : {0, 1, 2, 8})
        for (size_t n = 0; n < kNetbios[r].frame.size(); ++n) EXPECT_EQ(decode(from(PROTO_NBNS), head(kNetbios[r].frame, n)), "") << n;
}

// What the SMB decoder shows after the words of a transaction request.
std::string mailslot(const Frame &smb_bytes, uint32_t room = 8192) {
    std::string t = decode(from(PROTO_SMB), smb_bytes, room);
    size_t words_end = t.find('\n', t.find(" [16]="));
    return words_end == std::string::npos ? "<no words>" : t.substr(words_end + 1);
}

const Frame kElection = browse(cat({{8, 1}, le32(0x00011003), le32(3600999), le32(0), raw16("PC2", 0)}));

const Rows kMailslots = samples({
    {"domain announcement, comment escaped", from(PROTO_SMB), browse(announce(12, "a\x01z")), "BROWSE Anncounce(12) PC1(20/Server) count=3 ttl=720 OS=(4,0) stype=0x51003 sig=0xf 0x55 comment=a\\001z\n"},
    {"announcement request", from(PROTO_SMB), browse(cat({{2, 0x7F}, raw16("WS", 0)})), "BROWSE Anncouncement request from \"WS(0/Workstation)\" token=0x7f\n"},
    {"backup list request", from(PROTO_SMB), browse(cat({{9, 4}, le32(0xDEAD0001)})), "BROWSE get backup list request count=4 token=0xdead0001\n"},
    {"backup list response", from(PROTO_SMB), browse(cat({{10, 1}, le32(7), ascii("BACKUP         "), {0x20}})), "BROWSE get backup list response count=1 token=0x7 \"BACKUP         (20/Server)\"\n"},
    {"master announcement", from(PROTO_SMB), trans("\\mailslot\\browse", cat({{13}, raw16("ABCDEFGHIJKLMNO", 0x1B)})), "BROWSE Master Announce from \"ABCDEFGHIJKLMNO(1b/Domain-Main-Browser)\"\n"},
    {"reset", from(PROTO_SMB), browse(hex("0E 07")), "BROWSER reset state=0x7\n"},
    {"opcode 0", from(PROTO_SMB), browse(hex("00")), "browse packet 0 ?\n"},
    {"domain logon", from(PROTO_SMB), netlogon(cat({le16(0), cstr("PC1"), cstr("alice"), cstr("\\MAILSLOT\\TEMP\\NETLOGON"), hex("00"), le16(1), le16(0xFFFF)})), "Domainlogin: \"\\MAILSLOT\\TEMP\\NETLOGON\" on \"PC1\" as \"alice\" reqcnt=1 token=0xffff\n"},
    {"get DC", from(PROTO_SMB), trans("\\MAILSLOT\\NET\\NTLOGON", cat({le16(7), cstr("PC1"), cstr("\\MAILSLOT\\TEMP\\NETLOGON"), le16(0x1234)})), "GETDC: \"\\MAILSLOT\\TEMP\\NETLOGON\" on \"PC1\" token=0x1234\n"},
    {"SAMLOGON", from(PROTO_SMB), netlogon(samlogon(4, hex("01020304"))), "SAMLOGON: from \"PC1\" as \"alice\" (\"\\MAILSLOT\\NET\\GETDC123\") aa=128 dss=4 ntv=11 nttoken=65535 lmtoken=65534\n"},
    {"SAMLOGON user ending at unit 0x0100", from(PROTO_SMB), netlogon(cat({le16(18), le16(1), wstr("PC1"), hex("6100 6C00 0001"), cstr("X"), le32(1), le32(0), hex("000000"), le32(5), le16(1), le16(2)})), "SAMLOGON: from \"PC1\" as \"al\" (\"X\") aa=1 dss=0 ntv=5 nttoken=1 lmtoken=2\n"},
    {"other logon request", from(PROTO_SMB), netlogon(le16(0x13)), "Domain request: 19\n"},
    {"GETDC042", from(PROTO_SMB), trans("\\MAILSLOT\\NET\\GETDC042", cat({hex("0000"), wstr("PDC1"), wstr("alice"), wstr("CORP")})), "Mailslot: \"\\MAILSLOT\\NET\\GETDC042\" PDC=\"PDC1\" user=\"alice\" domain=\"CORP\"\n"},
    {"GETDC000", from(PROTO_SMB), trans("\\MAILSLOT\\NET\\GETDC000", cat({hex("1234"), cstr("DC")})), "Mailslot: \"\\MAILSLOT\\NET\\GETDC000\" \"DC\"\n"},
    {"other mailslot", from(PROTO_SMB), trans("\\PIPE\\LAN\xE9MAN", hex("0000")), "Mailslot: \"\\PIPE\\LAN\\351MAN\"\n"},
    {"browse mailslot but the first byte", from(PROTO_SMB), trans("/MAILSLOT\\BROWSE", hex("0E07")), "Mailslot: \"/MAILSLOT\\BROWSE\"\n"},
    {"name without terminator", from(PROTO_SMB), head(browse({}), 69 + 16), ""},
    {"announcement cut before its comment", from(PROTO_SMB), head(kAnnouncement, kAnnouncement.size() - 12), "BROWSE Anncounce(1) PC1(20/Server)\n"},
    {"election cut before its name", from(PROTO_SMB), head(kElection, 69 + 17 + 14), ""},
    {"plain name of an election", from(PROTO_SMB), browse(cat({{8, 1}, le32(0x20011003), le32(3600000), le32(0), cstr("PC2")})), "BROWSE election request from \"PC2(0/Workstation)\" vers=1 criterion=20011003 timeup=3600\n"},
    {"empty browse message", from(PROTO_SMB), browse({}), ""},
    {"domain logon strings unterminated", from(PROTO_SMB), netlogon(cat({le16(0), cstr("PC1"), cstr("alice"), ascii("\\MAILSLOT")})), ""},
    {"domain logon token missing", from(PROTO_SMB), netlogon(cat({le16(0), cstr("PC1"), cstr("alice"), cstr("x"), hex("00 0100 FF")})), ""},
    {"get DC token missing", from(PROTO_SMB), netlogon(cat({le16(7), cstr("PC1"), cstr("x"), hex("12")})), ""},
    {"SAMLOGON domain size past the frame", from(PROTO_SMB), netlogon(samlogon(0x7FFFFFFF, {})), ""},
    {"SAMLOGON wide string unterminated", from(PROTO_SMB), netlogon(cat({le16(18), le16(1), hex("5000 4300")})), ""},
    {"GETDC042 unterminated", from(PROTO_SMB), trans("\\MAILSLOT\\NET\\GETDC042", cat({hex("0000"), wstr("PDC1"), hex("6100")})), ""},
    {"one string unterminated", from(PROTO_SMB), trans("\\MAILSLOT\\NET\\GETDC000", cat({hex("0000"), ascii("DC")})), ""},
    {"data offset past the frame", from(PROTO_SMB), patch(patch(kAnnouncement, 33 + 24, 0xFF), 33 + 25, 0x7F), ""},
});

TEST(Mailslot, ExactTexts) {
    for (const Row &r : kMailslots) EXPECT_EQ(mailslot(r.frame), r.text) << r.name;
}

// Every room gives the whole text cut short.
TEST(Mailslot, EveryRoomGivesAPrefix) {
    const std::pair<uint32_t, Frame> frames[] = {
        {from(PROTO_NBDS), dgram(0x12, 0x02, cat({kNames, browse(hex("0E01"))}))},
        {from(PROTO_NBSS), session(smb(0x72, 0x18, count_up(12), cat({hex("02"), cstr("NT LM 0.12")})))},
        {from(PROTO_SMB), kAnnouncement}, {from(PROTO_SMB), kMailslots[9].frame}, {from(PROTO_SMB), kMailslots[12].frame}};
    for (const auto &[entry, f] : frames) {
        const std::string full = decode(entry, f);
        for (uint32_t room = 90; room <= full.size() + 1; ++room) {
            std::string t = decode(entry, f, room);
            ASSERT_EQ(t, full.substr(0, t.size())) << room;
            ASSERT_LT(t.size(), room);
        }
    }
}

// The string routines stop at their limits.
TEST(Netbios, SmbStringLimits) {
    auto view = [](const Frame &f) { return caplib::Bytes(f.data(), static_cast<uint32_t>(f.size())); };
    const Frame ones(400, 0x01), xs(2000, 'x'), ys(3000, 'y');
    EXPECT_EQ(std::string(caplib::smb_escape(view(ones), 0).text).size(), 1020u);  // the 255th passes 1019
    EXPECT_EQ(std::string(caplib::smb_escape(view(xs), 0).text).size(), 1019u);
    EXPECT_EQ(std::string(caplib::smb_narrow(view(ys), 0).text).size(), 1022u);
}

}  // namespace
