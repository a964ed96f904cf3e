#include "mix.h"

#include <cstring>

namespace caplib_mix {
namespace {

constexpr size_t kMinFrame = 60;
constexpr size_t kMaxFrame = 1514;
constexpr uint32_t kHosts = 16;

struct Station {
    uint8_t mac[6];
    uint8_t ip[4];
};

// Workstations on 192.168.1.0/24 and one server per role.
Station host(uint32_t i) {
    return {{0x00, 0x60, 0x08, 0x9b, 0x0c, static_cast<uint8_t>(0x20 + i)},
            {192, 168, 1, static_cast<uint8_t>(20 + i)}};
}
constexpr Station kFileServer = {{0x00, 0xa0, 0xc9, 0x14, 0x5a, 0x3e}, {192, 168, 1, 1}};
constexpr Station kRouter = {{0x00, 0x0c, 0x29, 0x4f, 0x8e, 0x35}, {192, 168, 1, 254}};
constexpr Station kAccessConcentrator = {{0x00, 0x90, 0x1a, 0x42, 0x17, 0x0b}, {10, 64, 0, 1}};
constexpr uint8_t kBroadcastMac[6] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
constexpr uint8_t kBroadcastIp[4] = {192, 168, 1, 255};
constexpr uint8_t kZeroMac[6] = {};

// Remote peers of the TCP and UDP flows.
constexpr uint8_t kRemotes[][4] = {
    {173, 194, 78, 104}, {151, 101, 1, 69}, {93, 184, 216, 34}, {140, 82, 121, 4},
    {8, 8, 8, 8},        {1, 1, 1, 1},      {192, 168, 1, 1},   {10, 20, 30, 40},
};
constexpr uint16_t kTcpPorts[] = {80, 443, 443, 443, 22, 25, 8080, 993};
constexpr uint16_t kUdpPorts[] = {53, 53, 123, 514, 161, 5353};

constexpr const char *kWorkstations[] = {"WS-ANNA", "WS-BERND", "LAB-PC7", "PRINTSRV", "KASSE2"};
constexpr const char *kGroups[] = {"WORKGROUP", "ARBEITSGRUPPE", "LAB"};

struct Buffer {
    std::vector<uint8_t> &v;
    void u8(uint32_t x) { v.push_back(static_cast<uint8_t>(x)); }
    void be16(uint32_t x) {
        u8(x >> 8);
        u8(x);
    }
    void be32(uint32_t x) {
        be16(x >> 16);
        be16(x);
    }
    void le16(uint32_t x) {
        u8(x);
        u8(x >> 8);
    }
    void le32(uint32_t x) {
        le16(x);
        le16(x >> 16);
    }
    void bytes(const uint8_t *p, size_t n) { v.insert(v.end(), p, p + n); }
    void text(const char *s) { bytes(reinterpret_cast<const uint8_t *>(s), std::strlen(s)); }
    void zeros(size_t n) { v.insert(v.end(), n, 0); }
    void put16(size_t at, uint32_t x) {
        v[at] = static_cast<uint8_t>(x >> 8);
        v[at + 1] = static_cast<uint8_t>(x);
    }
    void put16le(size_t at, uint32_t x) {
        v[at] = static_cast<uint8_t>(x);
        v[at + 1] = static_cast<uint8_t>(x >> 8);
    }
};

// A NetBIOS name in its first-level encoding (32 letters behind the
// length byte), without the terminating zero.
void nb_encoded(Buffer b, const char *name, uint8_t suffix) {
    uint8_t raw[16];
    std::memset(raw, ' ', 15);
    std::memcpy(raw, name, std::strlen(name));
    raw[15] = suffix;
    b.u8(32);
    for (uint8_t c : raw) {
        b.u8('A' + (c >> 4));
        b.u8('A' + (c & 15));
    }
}

// The 16 raw bytes of a NetBIOS name: blank-padded, then the suffix.
void nb_raw(Buffer b, const char *name, uint8_t suffix) {
    size_t n = std::strlen(name);
    b.text(name);
    b.v.insert(b.v.end(), 15 - n, ' ');
    b.u8(suffix);
}

uint16_t checksum(const uint8_t *p, size_t n) {
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < n; i += 2) sum += static_cast<uint32_t>(p[i] << 8 | p[i + 1]);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

}  // namespace

Mix::Mix(Kind kind, uint64_t seed, int32_t start, int32_t start_usec)
    : kind_(kind),
      state_(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull),
      sec_(start),
      usec_(start_usec),
      web_(96),
      smb_(12),
      ppp_(8) {
    frame_.reserve(kMaxFrame + 64);
}

// xorshift64*: fast, and the same everywhere.
uint32_t Mix::rnd() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<uint32_t>((state_ * 0x2545F4914F6CDD1Dull) >> 32);
}

const CAPLIB_PAKET &Mix::next() {
    frame_.clear();
    paket_ = CAPLIB_PAKET{};
    // About ten thousand records a second, in bursts.
    usec_ += static_cast<int32_t>(below(4) == 0 ? below(600) : below(40));
    while (usec_ >= 1000000) {
        usec_ -= 1000000;
        ++sec_;
    }
    if (kind_ == Kind::ethernet)
        ethernet_frame();
    else
        ppp_frame();
    paket_.time.tv_sec = sec_;
    paket_.time.tv_usec = usec_;
    paket_.length = static_cast<uint32_t>(frame_.size());
    paket_.orig_length = paket_.length;
    paket_.data = frame_.data();
    paket_.number = ++number_;
    paket_.attribute = below(50) == 0 ? CAPLIB_ATTR_FILTERED : CAPLIB_ATTR_NORMAL;
    return paket_;
}

void Mix::ethernet_frame() {
    paket_.layer = CAPLIB_LAYER_ETHERNET;
    paket_.name = "eth0";
    uint32_t r = below(100);
    if (r < 50)
        tcp_flow();
    else if (r < 60)
        smb_flow();
    else if (r < 72) {
        Station h = host(below(kHosts));
        const uint8_t *remote = kRemotes[below(8)];
        bool out = below(2);
        paket_.direction = out;
        ether(out ? kRouter.mac : h.mac, out ? h.mac : kRouter.mac, 0x0800);
        size_t ip = ipv4_begin(out ? h.ip : remote, out ? remote : h.ip, 17);
        uint16_t port = kUdpPorts[below(6)];
        uint16_t eph = static_cast<uint16_t>(1024 + below(60000));
        size_t u = udp_begin(out ? eph : port, out ? port : eph);
        payload(below(4) == 0 ? 200 + below(1200) : 20 + below(100));
        udp_end(u);
        ipv4_end(ip);
    } else if (r < 76)
        name_service();
    else if (r < 80)
        browser_datagram();
    else if (r < 85)
        arp();
    else if (r < 90)
        icmp();
    else if (r < 95)
        ipx();
    else
        pppoe_lcp();
    pad_to(kMinFrame);
}

void Mix::pad_to(size_t min) {
    if (frame_.size() < min) frame_.resize(min, 0);
}

void Mix::payload(size_t n) {
    for (size_t i = 0; i < n; ++i) frame_.push_back(static_cast<uint8_t>(rnd() >> 24));
}

void Mix::ether(const uint8_t *dst, const uint8_t *src, uint16_t type) {
    Buffer b{frame_};
    b.bytes(dst, 6);
    b.bytes(src, 6);
    b.be16(type);
}

size_t Mix::ipv4_begin(const uint8_t *src, const uint8_t *dst, uint8_t proto) {
    Buffer b{frame_};
    size_t at = frame_.size();
    b.be16(0x4500);
    b.be16(0);  // total length, set by ipv4_end
    b.be16(rnd() >> 16);
    b.be16(proto == 17 && below(3) == 0 ? 0x0000 : 0x4000);
    b.u8(below(2) ? 64 : 128);
    b.u8(proto);
    b.be16(0);
    b.bytes(src, 4);
    b.bytes(dst, 4);
    return at;
}

void Mix::ipv4_end(size_t at) {
    Buffer b{frame_};
    b.put16(at + 2, static_cast<uint32_t>(frame_.size() - at));
    b.put16(at + 10, checksum(frame_.data() + at, 20));
}

void Mix::tcp(uint16_t sport, uint16_t dport, uint8_t flags, uint32_t seq, uint32_t ack,
              bool mss_option, size_t at) {
    uint8_t h[24];
    size_t n = mss_option ? 24 : 20;
    h[0] = static_cast<uint8_t>(sport >> 8);
    h[1] = static_cast<uint8_t>(sport);
    h[2] = static_cast<uint8_t>(dport >> 8);
    h[3] = static_cast<uint8_t>(dport);
    if (!(flags & 0x10)) ack = 0;
    for (int i = 0; i < 4; ++i) {
        h[4 + i] = static_cast<uint8_t>(seq >> (24 - 8 * i));
        h[8 + i] = static_cast<uint8_t>(ack >> (24 - 8 * i));
    }
    h[12] = static_cast<uint8_t>(n << 2);
    h[13] = flags;
    uint16_t window = below(8) ? 64240 : 8760;
    uint16_t sum = static_cast<uint16_t>(rnd() >> 16);
    h[14] = static_cast<uint8_t>(window >> 8);
    h[15] = static_cast<uint8_t>(window);
    h[16] = static_cast<uint8_t>(sum >> 8);
    h[17] = static_cast<uint8_t>(sum);
    h[18] = h[19] = 0;
    if (mss_option) {
        h[20] = 2;
        h[21] = 4;
        h[22] = 0x05;
        h[23] = 0xB4;
    }
    if (at > frame_.size()) at = frame_.size();
    frame_.insert(frame_.begin() + static_cast<std::ptrdiff_t>(at), h, h + n);
}

// One of the open connections of a table; a closed one is replaced by a
// new connection from another client port.
Mix::Flow &Mix::flow(std::vector<Flow> &table, uint16_t port, bool established) {
    Flow &f = table[below(static_cast<uint32_t>(table.size()))];
    if (f.length == 0 || f.sent >= f.length) {
        f = Flow{};
        f.host = below(kHosts);
        f.remote = below(8);
        f.port = port;
        f.eph = static_cast<uint16_t>(49152 + below(16000));
        f.seq[0] = rnd();
        f.seq[1] = rnd();
        f.length = 4 + below(below(8) ? 60 : 2000);
        if (established) {  // opened before the capture began
            f.sent = 2;
            f.length = UINT32_MAX;
        }
    }
    return f;
}

uint8_t Mix::segment(Flow &f, bool from_client, uint32_t n, size_t at) {
    uint32_t k = f.sent++;
    uint8_t flags = k == 0 ? 0x02 : k == 1 ? 0x12 : k + 1 == f.length ? 0x11 : n ? 0x18 : 0x10;
    if (k < 2) from_client = k == 0;
    if (flags != 0x18) n = 0;
    uint32_t &mine = f.seq[from_client ? 0 : 1];
    uint32_t theirs = f.seq[from_client ? 1 : 0];
    tcp(from_client ? f.eph : f.port, from_client ? f.port : f.eph, flags, mine, theirs, flags & 0x02,
        at);
    mine += n + ((flags & 0x03) ? 1 : 0);
    return flags;
}

size_t Mix::udp_begin(uint16_t sport, uint16_t dport) {
    Buffer b{frame_};
    size_t at = frame_.size();
    b.be16(sport);
    b.be16(dport);
    b.be32(0);  // length and checksum, set by udp_end
    return at;
}

void Mix::udp_end(size_t at) { Buffer{frame_}.put16(at + 4, static_cast<uint32_t>(frame_.size() - at)); }

// Web, mail and shell traffic: acknowledgements, full segments and the rest.
void Mix::tcp_flow() {
    Flow &f = flow(web_, kTcpPorts[below(8)]);
    Station h = host(f.host);
    const uint8_t *remote = kRemotes[f.remote];
    bool out = f.sent == 0 ? true : f.sent == 1 ? false : below(2);
    paket_.direction = out;
    ether(out ? kRouter.mac : h.mac, out ? h.mac : kRouter.mac, 0x0800);
    size_t ip = ipv4_begin(out ? h.ip : remote, out ? remote : h.ip, 6);
    uint32_t r = below(100);
    uint32_t n = r < 45 ? 0 : r < 80 ? kMaxFrame - 54 : below(kMaxFrame - 54);
    if (segment(f, out, n) & 0x08) payload(n);
    ipv4_end(ip);
}

// A file server session on port 139: reads and writes of a few kilobytes
// with the odd negotiate, logon, tree connect, create and close.
void Mix::smb_flow() {
    Flow &f = flow(smb_, 139, true);
    Station h = host(f.host);
    bool to_server = below(2);
    paket_.direction = to_server;
    const Station &src = to_server ? h : kFileServer;
    const Station &dst = to_server ? kFileServer : h;
    ether(dst.mac, src.mac, 0x0800);
    size_t ip = ipv4_begin(src.ip, dst.ip, 6);
    size_t tcp_at = frame_.size();
    uint32_t r = below(100);
    if (r < 15) {  // acknowledgement only
        segment(f, to_server, 0);
        ipv4_end(ip);
        return;
    }
    Buffer b{frame_};
    if (r < 18) {  // keep-alive
        b.be32(0x85000000);
        segment(f, to_server, 4, tcp_at);
        ipv4_end(ip);
        return;
    }
    size_t nbss = frame_.size();
    b.be32(0);  // session message, length set below
    size_t smb = frame_.size();
    uint8_t command;
    const uint8_t *cmds = reinterpret_cast<const uint8_t *>("\x2e\x2e\x2e\x2f\x2f\x72\x73\x75\xa2\x04\x32\x2b");
    command = cmds[below(12)];
    bool response = !to_server;
    b.u8(0xFF);
    b.text("SMB");
    b.u8(command);
    b.zeros(4);                      // status
    b.u8(response ? 0x98 : 0x18);    // flags
    b.le16(0xC803);                  // flags2
    b.zeros(12);
    b.le16(command == 0x72 ? 0 : 2048 + below(4));  // tid
    b.le16(0xFEFF);                                  // pid
    b.le16(command == 0x72 ? 0 : 100 + below(3));   // uid
    b.le16(below(65536));                            // mid
    auto words = [&](std::initializer_list<uint16_t> w) {
        b.u8(static_cast<uint32_t>(w.size()));
        for (uint16_t x : w) b.le16(x);
    };
    uint16_t fid = static_cast<uint16_t>(0x4000 + below(16));
    switch (command) {
    case 0x2e:  // readX
        if (response) {
            uint16_t n = static_cast<uint16_t>(below(3) ? 1396 : 64 + below(1300));
            words({0x00ff, 0, 0xffff, 0, 0, 0, n, 59, 0, 0, 0, 0});
            b.le16(n + 1);
            b.u8(0);
            payload(n);
        } else {
            words({0x00ff, 0, fid, static_cast<uint16_t>(rnd()), static_cast<uint16_t>(below(64)), 1396,
                   1396, 0, 0, 0});
            b.le16(0);
        }
        break;
    case 0x2f:  // writeX
        if (response) {
            words({0x00ff, 0, 1360, 0xffff, 0, 0});
            b.le16(0);
        } else {
            uint16_t n = static_cast<uint16_t>(below(2) ? 1360 : 32 + below(1300));
            words({0x00ff, 0, fid, static_cast<uint16_t>(rnd()), 0, 0, 0, 0, 0, 0, n, 64, 0, 0});
            b.le16(n + 1);
            b.u8(0);
            payload(n);
        }
        break;
    case 0x72:  // negotiate
        if (response) {
            words({5, 0x0303, 50, 1, 4356, 0, 0, 0, 0x8000, 0, 0, 0xf3fd, 0, 0, 0, 0, 0x0800});
            b.le16(0);
        } else {
            b.u8(0);
            size_t bcc = frame_.size();
            b.le16(0);
            for (const char *d : {"PC NETWORK PROGRAM 1.0", "LANMAN1.0", "Windows for Workgroups 3.1a",
                                  "LM1.2X002", "LANMAN2.1", "NT LM 0.12"}) {
                b.u8(2);
                b.text(d);
                b.u8(0);
            }
            b.put16le(bcc, static_cast<uint32_t>(frame_.size() - bcc - 2));
        }
        break;
    case 0x73:  // session setup
        if (response) {
            words({0x00ff, 0, 0});
        } else {
            words({0x00ff, 0, 4356, 50, 0, 0, 0, 24, 24, 0, 0, 0x00d4, 0});
        }
        b.le16(24);
        payload(24);
        break;
    case 0x75:  // tree connect
        if (response) {
            words({0x00ff, 0, 1});
            b.le16(7);
            b.text("A:");
            b.u8(0);
            b.text("NTF");
        } else {
            words({0x00ff, 0, 0, 1});
            b.le16(22);
            b.u8(0);
            b.text("\\\\SERVER\\PUBLIC");
            b.u8(0);
            b.text("?????");
        }
        break;
    case 0xa2:  // NT create
        if (response) {
            b.u8(34);
            for (int i = 0; i < 34; ++i) b.le16(i == 0 ? 0x00ff : i == 2 ? fid : rnd() >> 16);
            b.le16(0);
        } else {
            b.u8(24);
            for (int i = 0; i < 24; ++i) b.le16(i == 0 ? 0x00ff : rnd() >> 16);
            b.le16(24);
            b.text("\\docs\\report-2026.txt");
            b.zeros(3);
        }
        break;
    case 0x04:  // close
        if (response) {
            b.u8(0);
        } else {
            words({fid, 0xffff, 0xffff});
        }
        b.le16(0);
        break;
    case 0x32:  // trans2
        words({2, 0, 40, 560, 0, 0, 0, 0, 0, 2, 68, 0, 70, 1, 5});
        b.le16(5);
        b.zeros(5);
        break;
    default:  // echo
        words({1});
        b.le16(16);
        payload(16);
        break;
    }
    b.put16(nbss + 2, static_cast<uint32_t>(frame_.size() - smb));
    if (frame_.size() + 20 > kMaxFrame) frame_.resize(kMaxFrame - 20);
    segment(f, to_server, static_cast<uint32_t>(frame_.size() - tcp_at), tcp_at);
    ipv4_end(ip);
}

// Name queries, registrations and answers on 137/137.
void Mix::name_service() {
    Station h = host(below(kHosts));
    uint32_t r = below(10);
    bool answer = r == 9;
    paket_.direction = 1;
    ether(answer ? h.mac : kBroadcastMac, answer ? kFileServer.mac : h.mac, 0x0800);
    size_t ip = ipv4_begin(answer ? kFileServer.ip : h.ip, answer ? h.ip : kBroadcastIp, 17);
    size_t u = udp_begin(137, 137);
    Buffer b{frame_};
    const char *name = r < 5 ? kWorkstations[below(5)] : kGroups[below(3)];
    uint8_t suffix = r < 5 ? 0x20 : 0x1d;
    b.be16(0x8000 + below(0x7fff));
    if (answer) {
        b.be16(0x8500);
        b.be32(0x00000001);  // qd 0, an 1
        b.be32(0);
        nb_encoded(b, name, suffix);
        b.u8(0);
        b.be16(0x20);
        b.be16(1);
        b.be32(300000);
        b.be16(6);
        b.be16(0x6000);
        b.bytes(kFileServer.ip, 4);
    } else if (r < 7) {  // query
        b.be16(0x0110);
        b.be32(0x00010000);
        b.be32(0);
        nb_encoded(b, name, suffix);
        b.u8(0);
        b.be16(0x20);
        b.be16(1);
    } else {  // registration with its address record
        b.be16(0x2910);
        b.be32(0x00010000);
        b.be32(0x00000001);
        nb_encoded(b, name, suffix);
        b.u8(0);
        b.be16(0x20);
        b.be16(1);
        b.be16(0xC00C);
        b.be16(0x20);
        b.be16(1);
        b.be32(300000);
        b.be16(6);
        b.be16(0x0000);
        b.bytes(h.ip, 4);
    }
    udp_end(u);
    ipv4_end(ip);
}

// Browser announcements and requests to \MAILSLOT\BROWSE on 138/138.
void Mix::browser_datagram() {
    Station h = host(below(kHosts));
    paket_.direction = 1;
    ether(kBroadcastMac, h.mac, 0x0800);
    size_t ip = ipv4_begin(h.ip, kBroadcastIp, 17);
    size_t u = udp_begin(138, 138);
    Buffer b{frame_};
    const char *self = kWorkstations[below(5)];
    const char *group = kGroups[below(3)];
    size_t dgm = frame_.size();
    b.u8(0x11);
    b.u8(0x0a);
    b.be16(0x8000 + below(0x7fff));
    b.bytes(h.ip, 4);
    b.be16(138);
    b.be16(0);  // datagram length, set below
    b.be16(0);
    size_t names = frame_.size();
    nb_encoded(b, self, 0x00);
    b.u8(0);
    nb_encoded(b, group, 0x1d);
    b.u8(0);
    // The mailslot message.
    std::vector<uint8_t> msg;
    Buffer m{msg};
    uint32_t r = below(10);
    if (r < 7) {  // host announcement
        m.u8(1);
        m.u8(below(4));
        m.le32(720000);
        nb_raw(m, self, 0);
        m.u8(6);
        m.u8(1);
        m.le32(0x00011003);
        m.u8(15);
        m.u8(1);
        m.le16(0xaa55);
        m.text(r < 3 ? "Buchhaltung" : "");
        m.u8(0);
    } else if (r < 9) {  // election
        m.u8(8);
        m.u8(1);
        m.le32(0x20011003);
        m.le32(below(1000000));
        m.le32(0);
        nb_raw(m, self, 0);
        m.v.resize(m.v.size() - 1);  // the election name is zero-terminated text
        m.u8(0);
    } else {  // announcement request
        m.u8(2);
        m.u8(below(256));
        nb_raw(m, self, 0);
    }
    static const char kSlot[] = "\\MAILSLOT\\BROWSE";
    b.u8(0xFF);
    b.text("SMB");
    b.u8(0x25);
    b.zeros(4);
    b.u8(0);
    b.le16(0);
    b.zeros(12);
    b.le16(0);
    b.le16(0);
    b.le16(0);
    b.le16(0);
    b.u8(17);
    uint16_t data_offset = static_cast<uint16_t>(32 + 1 + 34 + 2 + sizeof kSlot);
    for (uint16_t w : {uint16_t{0}, static_cast<uint16_t>(msg.size()), uint16_t{0}, uint16_t{0},
                       uint16_t{0}, uint16_t{0}, uint16_t{1000}, uint16_t{0}, uint16_t{0}, uint16_t{0},
                       uint16_t{0}, static_cast<uint16_t>(msg.size()), data_offset, uint16_t{3},
                       uint16_t{1}, uint16_t{1}, uint16_t{2}})
        b.le16(w);
    b.le16(static_cast<uint32_t>(sizeof kSlot + msg.size()));
    b.bytes(reinterpret_cast<const uint8_t *>(kSlot), sizeof kSlot);
    b.bytes(msg.data(), msg.size());
    b.put16(dgm + 10, static_cast<uint32_t>(frame_.size() - names));
    udp_end(u);
    ipv4_end(ip);
}

void Mix::arp() {
    Station a = host(below(kHosts));
    Station t = below(3) ? kRouter : host(below(kHosts));
    bool reply = below(3) == 0;
    paket_.direction = !reply;
    ether(reply ? a.mac : kBroadcastMac, reply ? t.mac : a.mac, 0x0806);
    Buffer b{frame_};
    b.be16(1);
    b.be16(0x0800);
    b.u8(6);
    b.u8(4);
    b.be16(reply ? 2 : 1);
    b.bytes(reply ? t.mac : a.mac, 6);
    b.bytes(reply ? t.ip : a.ip, 4);
    b.bytes(reply ? a.mac : kZeroMac, 6);
    b.bytes(reply ? a.ip : t.ip, 4);
}

// Echo requests and replies, and errors that quote the offending header.
void Mix::icmp() {
    Station h = host(below(kHosts));
    const uint8_t *remote = kRemotes[below(8)];
    uint32_t r = below(10);
    bool out = r < 4;
    paket_.direction = out;
    ether(out ? kRouter.mac : h.mac, out ? h.mac : kRouter.mac, 0x0800);
    size_t ip = ipv4_begin(out ? h.ip : remote, out ? remote : h.ip, 1);
    Buffer b{frame_};
    if (r < 7) {
        b.u8(out ? 8 : 0);
        b.u8(0);
        b.be16(rnd() >> 16);
        b.be16(0x0200 + below(4));
        b.be16(below(2000));
        payload(below(4) ? 32 : 56 + below(1000));
    } else {
        bool unreachable = r < 9;
        b.u8(unreachable ? 3 : 11);
        b.u8(unreachable ? 3 : 0);
        b.be16(rnd() >> 16);
        b.be32(0);
        size_t quoted = ipv4_begin(h.ip, remote, unreachable ? 17 : 6);
        if (unreachable) {
            size_t u = udp_begin(static_cast<uint16_t>(1024 + below(60000)), 53);
            payload(24);
            udp_end(u);
            ipv4_end(quoted);
            frame_.resize(quoted + 28);  // the header and eight bytes
        } else {
            tcp(static_cast<uint16_t>(49152 + below(16000)), 443, 0x18, rnd(), rnd());
            ipv4_end(quoted);
            frame_.resize(quoted + 28);
        }
    }
    ipv4_end(ip);
}

// IPX in raw 802.3 and in 802.2 frames: NCP, SAP, RIP and SPX.
void Mix::ipx() {
    Station h = host(below(kHosts));
    bool raw = below(2);
    uint32_t r = below(4);
    paket_.direction = r != 1;
    const uint8_t *dst = r == 1 || r == 2 ? kBroadcastMac : kFileServer.mac;
    ether(dst, h.mac, 0);
    size_t len_at = frame_.size() - 2;
    Buffer b{frame_};
    if (!raw) {
        b.u8(0xE0);
        b.u8(0xE0);
        b.u8(0x03);
    }
    size_t ipx = frame_.size();
    static constexpr uint8_t kTypes[] = {17, 4, 1, 5};
    static constexpr uint16_t kSockets[] = {0x0451, 0x0452, 0x0453, 0x4005};
    b.be16(0xFFFF);
    b.be16(0);  // length, set below
    b.u8(0);
    b.u8(kTypes[r]);
    b.be32(r == 1 || r == 2 ? 0 : 0x00000010);
    b.bytes(dst == kBroadcastMac ? kBroadcastMac : kFileServer.mac, 6);
    b.be16(kSockets[r]);
    b.be32(0x00000010);
    b.bytes(h.mac, 6);
    b.be16(r == 0 ? 0x4003 : kSockets[r]);
    switch (r) {
    case 0:  // NCP request
        b.be16(0x2222);
        b.u8(below(256));
        b.u8(1);
        b.u8(below(4));
        b.u8(0);
        b.u8(72);
        payload(8 + below(40));
        break;
    case 1:  // SAP general query / response
        b.be16(2);
        b.be16(4);
        b.text("FS1");
        b.zeros(45);
        b.be32(0x00000010);
        b.bytes(kFileServer.mac, 6);
        b.be16(0x0451);
        b.be16(1);
        break;
    case 2:  // RIP
        b.be16(2);
        for (uint32_t i = 0, n = 1 + below(6); i < n; ++i) {
            b.be32(0x00000010 + i);
            b.be16(1 + i);
            b.be16(2 + i);
        }
        break;
    default:  // SPX data
        b.u8(0x40);
        b.u8(0);
        b.be16(0x1234);
        b.be16(0x5678);
        b.be16(below(1000));
        b.be16(below(1000));
        b.be16(below(1000) + 5);
        payload(below(400));
        break;
    }
    Buffer{frame_}.put16(ipx + 2, static_cast<uint32_t>(frame_.size() - ipx));
    Buffer{frame_}.put16(len_at, static_cast<uint32_t>(frame_.size() - len_at - 2));
}

// An LCP packet behind the protocol field: configure or echo.
void Mix::lcp_packet(uint8_t code, bool options) {
    Buffer b{frame_};
    size_t at = frame_.size();
    b.u8(code);
    b.u8(below(256));
    b.be16(0);
    if (code >= 9 && code <= 11) {
        b.be32(rnd());
        if (below(2)) payload(4 + below(16));
    } else if (options) {
        b.be32(0x010405D4);  // MRU 1492
        if (below(2)) {
            b.be32(0x0304C023);  // PAP
        }
        b.u8(5);
        b.u8(6);
        b.be32(rnd());  // magic number
        if (below(2)) b.be16(0x0702);  // PFC
        if (below(2)) b.be16(0x0802);  // ACFC
    } else if (code == 5 || code == 6) {
        b.text("User request");
    }
    b.put16(at + 2, static_cast<uint32_t>(frame_.size() - at));
}

// PPPoE session frames, nearly all of them LCP.
void Mix::pppoe_lcp() {
    Flow &f = flow(ppp_, 443);
    Station h = host(f.host);
    bool out = below(2);
    paket_.direction = out;
    ether(out ? kAccessConcentrator.mac : h.mac, out ? h.mac : kAccessConcentrator.mac, 0x8864);
    Buffer b{frame_};
    size_t at = frame_.size();
    b.u8(0x11);
    b.u8(0);
    b.be16(0x0100 + below(16));
    b.be16(0);  // payload length, set below
    uint32_t r = below(10);
    if (r < 8) {
        b.be16(0xC021);
        static constexpr uint8_t kCodes[] = {9, 10, 9, 10, 9, 10, 1, 2};
        uint8_t code = kCodes[r];
        lcp_packet(code, code <= 2);
    } else {  // IPv4 inside the session
        b.be16(0x0021);
        const uint8_t *remote = kRemotes[f.remote];
        out = f.sent == 0 ? true : f.sent == 1 ? false : out;
        paket_.direction = out;
        size_t ip = ipv4_begin(out ? h.ip : remote, out ? remote : h.ip, 6);
        uint32_t n = below(1400);
        if (segment(f, out, n) & 0x08) payload(n);
        ipv4_end(ip);
    }
    b.put16(at + 4, static_cast<uint32_t>(frame_.size() - at - 6));
}

// Dial-in sessions: LCP, PAP and IPCP negotiation, then IPv4/TCP with
// echo requests now and then, then termination.
void Mix::ppp_frame() {
    static constexpr const char *kChannels[] = {"ch1", "ch2", "ch3", "ch4"};
    paket_.layer = CAPLIB_LAYER_PPP;
    if (session_left_ == 0) {
        session_left_ = 100 + below(400);
        session_step_ = 0;
        channel_ = 1 + below(4);
    }
    paket_.name = kChannels[channel_ - 1];
    paket_.channel = channel_;
    --session_left_;
    uint32_t step = session_step_++;
    Buffer b{frame_};
    b.u8(0xFF);
    b.u8(0x03);
    paket_.direction = step & 1;
    auto control = [&](uint16_t proto, uint8_t code, auto &&body) {
        b.be16(proto);
        size_t at = frame_.size();
        b.u8(code);
        b.u8(1 + step / 2);
        b.be16(0);
        body();
        b.put16(at + 2, static_cast<uint32_t>(frame_.size() - at));
    };
    auto ipcp_options = [&](bool assigned) {
        b.u8(3);
        b.u8(6);
        if (assigned) {
            b.u8(10);
            b.u8(64);
            b.u8(1);
            b.u8(20 + channel_);
        } else {
            b.be32(0);
        }
        b.u8(129);
        b.u8(6);
        b.be32(assigned ? 0x0A400001 : 0);
        b.u8(131);
        b.u8(6);
        b.be32(assigned ? 0x0A400002 : 0);
    };
    if (session_left_ == 1 || session_left_ == 0) {
        b.be16(0xC021);
        lcp_packet(session_left_ ? 5 : 6, false);
        return;
    }
    switch (step) {
    case 0:
    case 1:
        b.be16(0xC021);
        lcp_packet(1, true);
        return;
    case 2:
    case 3:
        b.be16(0xC021);
        lcp_packet(2, true);
        return;
    case 4:
        control(0xC023, 1, [&] {
            b.u8(7);
            b.text("dialin1");
            b.u8(8);
            b.text("s3cr3t!!");
        });
        return;
    case 5:
        control(0xC023, 2, [&] {
            b.u8(9);
            b.text("Login ok.");
        });
        return;
    case 6:
    case 7:
        control(0x8021, 1, [&] { ipcp_options(step == 7); });
        return;
    case 8:
        control(0x8021, 3, [&] { ipcp_options(true); });
        return;
    case 9:
        control(0x8021, 1, [&] { ipcp_options(true); });
        return;
    case 10:
    case 11:
        control(0x8021, 2, [&] { ipcp_options(true); });
        return;
    default:
        break;
    }
    if (below(40) == 0) {
        b.be16(0xC021);
        lcp_packet(9 + (step & 1), false);
        return;
    }
    ppp_data();
}

void Mix::ppp_data() {
    Buffer{frame_}.be16(0x0021);
    Flow &f = flow(ppp_, 443);
    const uint8_t *remote = kRemotes[f.remote];
    uint8_t self[4] = {10, 64, 1, static_cast<uint8_t>(20 + channel_)};
    bool out = f.sent == 0 ? true : f.sent == 1 ? false : paket_.direction;
    paket_.direction = out;
    size_t ip = ipv4_begin(out ? self : remote, out ? remote : self, 6);
    uint32_t r = below(10);
    uint32_t n = r < 4 ? 0 : r < 8 ? 1460 - 40 : below(1400);
    if (segment(f, out, n) & 0x08) payload(n);
    ipv4_end(ip);
}

bool write_capture(const std::string &path, Kind kind, uint64_t records, uint64_t seed, int32_t start) {
    CAPLIB_OUTPUT *out = CAPLIB_output_zekbin(path.c_str());
    if (!out) return false;
    int rc = CAPLIB_output_header(out, nullptr);
    Mix mix(kind, seed, start);
    for (uint64_t i = 0; i < records && rc == 0; ++i) {
        CAPLIB_PAKET p = mix.next();
        rc = CAPLIB_output_paket(out, &p);
    }
    CAPLIB_output_close(out, rc);
    return rc == 0;
}

}  // namespace caplib_mix
