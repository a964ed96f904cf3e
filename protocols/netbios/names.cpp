// NetBIOS names and the name service (port 137).
#include <array>
#include <cstdio>
#include <cstring>

#include "decode/decoders.h"
#include "decode/line.h"
#include "decode/names.h"
#include "decode/dotted.h"
#include "protocols/netbios/netbios.h"

namespace caplib {
namespace {

constexpr uint32_t kMaxJumps = 10;
constexpr uint32_t kEncodedName = 32;  // letters of a full 16-byte name
constexpr uint32_t kMaxLabel = 63;
constexpr uint32_t kMaxScope = sizeof(nb_name::scope) - 1;

// Longest service text is "be/Network-Monitor-Server".
static_assert(kNbNameTextMax == 16 * 4 + 1 + (sizeof("be/Network-Monitor-Server") - 1) + 1 + 1 + kMaxScope);

constexpr std::array<Named, 13> kServices = {{
    {0x00, "Workstation"},
    {0x01, "Register"},
    {0x03, "Messager"},
    {0x06, "RAS-Server"},
    {0x1B, "Domain-Main-Browser"},
    {0x1C, "Domain"},
    {0x1D, "Main-Browser"},
    {0x1E, "Browserelection"},
    {0x1F, "NetDDE"},
    {0x20, "Server"},
    {0x21, "RAS-Client"},
    {0xBE, "Network-Monitor-Agent"},
    {0xBF, "Network-Monitor-Server"},
}};

const char *service_name(uint8_t suffix) {
    const char *name = name_of(kServices, suffix);
    return name ? name : "???";
}

constexpr std::array<const char *, 9> kOpcodes = {
    "Query", nullptr, nullptr, nullptr, nullptr, "Registration", "Release", "WACK", "refresh",
};

const char *opcode_name(uint32_t op) {
    return op < kOpcodes.size() && kOpcodes[op] ? kOpcodes[op] : "<unknown opcode>";
}

constexpr std::array<Named, 5> kTypes = {{
    {1, "A"}, {2, "NS"}, {10, "NULL"}, {32, "NB"}, {33, "NBSTAT"},
}};

constexpr uint16_t kTypeNb = 32, kTypeNbstat = 33, kClassIn = 1;

NameOrNumber type_name(uint16_t type) {
    if (const char *name = name_of(kTypes, type)) return name;
    return {"%u", type};
}

NameOrNumber class_name(uint16_t cls) {
    if (cls == kClassIn) return "IN";
    return {"%u", cls};
}

constexpr std::array<const char *, 8> kRcodes = {
    nullptr,          "format error",   "server failure", "name error", "unsupported requeust",
    "refused",        "already active", "name conflict",
};

// The result code: its text, or "RC=%d".
template <size_t N>
Line<N> &rcode_text(Line<N> &line, uint32_t rcode) {
    if (rcode < kRcodes.size() && kRcodes[rcode]) return line.str(kRcodes[rcode]);
    return line.str("RC=").dec(rcode);
}

char flag(uint32_t bit) { return bit ? '1' : '0'; }

struct Record {
    nb_name name;
    uint16_t type, cls;
    uint32_t ttl;
    Bytes rdata;
};

// Only the first record of a section is shown, but every record is read:
// a message is shown whole or not at all.
struct Section {
    const char *label;
    uint16_t count;
    Record first;
};

struct Message {
    uint16_t id;
    uint32_t opcode, r, aa, tc, rd, ra, b, rcode;
    uint16_t qdcount;
    nb_name qname;
    uint16_t qtype, qclass;
    std::array<Section, 3> sections;
};

constexpr uint32_t kHeader = 12;
constexpr uint32_t kMaxRdata = 576;

// Reads one resource record at pos; returns the position after it.
std::optional<uint32_t> read_record(Bytes m, uint32_t pos, Record &rec) {
    uint32_t used = nb_name_read(m, pos, rec.name);
    if (!used) return std::nullopt;
    pos += used;
    if (!m.has(pos, 10)) return std::nullopt;
    rec.type = m.be16(pos);
    rec.cls = m.be16(pos + 2);
    rec.ttl = m.be32(pos + 4);
    uint16_t rdlength = m.be16(pos + 8);
    pos += 10;
    if (rdlength > kMaxRdata || !m.has(pos, rdlength)) return std::nullopt;
    rec.rdata = m.slice(pos, rdlength);
    return pos + rdlength;
}

bool read_message(Bytes m, Message &msg) {
    msg.id = m.be16(0);
    uint8_t b2 = m.u8(2), b3 = m.u8(3);
    msg.opcode = b2 >> 3 & 15;
    msg.r = b2 >> 7 & 1;
    msg.aa = b2 >> 2 & 1;
    msg.tc = b2 >> 1 & 1;
    msg.rd = b2 & 1;
    msg.ra = b3 >> 7 & 1;
    msg.b = b3 >> 4 & 1;
    msg.rcode = b3 & 15;
    msg.qdcount = m.be16(4);
    msg.sections = {{{"answers", m.be16(6), {}}, {"nsrecs", m.be16(8), {}}, {"additional", m.be16(10), {}}}};

    uint32_t pos = kHeader;
    if (msg.qdcount) {
        uint32_t used = nb_name_read(m, pos, msg.qname);
        if (!used || !m.has(pos + used, 4)) return false;
        msg.qtype = m.be16(pos + used);
        msg.qclass = m.be16(pos + used + 2);
        pos += used + 4;
    }
    for (Section &s : msg.sections) {
        for (uint32_t i = 0; i < s.count; ++i) {
            Record rec{};
            std::optional<uint32_t> next = read_record(m, pos, rec);
            if (!next) return false;
            if (i == 0) s.first = rec;
            pos = *next;
        }
    }
    return true;
}

// "  name=%s type=%s class=%s" behind a label; the lines of a name
// message are assembled without formatted writes.
bool name_type_class(Text &out, const char *label, const nb_name &name, uint16_t type, uint16_t cls) {
    return out.put("  ") && out.put(label) && out.put(": name=") && out.put(nb_name_text(name).text) &&
           out.put(" type=") && out.put(type_name(type).c_str()) && out.put(" class=") &&
           out.put(class_name(cls).c_str());
}

// The record line and its data lines; false when the text ran out.
bool show_record(const Section &s, Text &out) {
    const Record &rec = s.first;
    const char *sep = out.separator();
    // "  %s: name=%s type=%s class=%s ttl=%d rdlen=%d%s"
    Line<32> numbers;
    numbers.str(" ttl=").sdec(static_cast<int32_t>(rec.ttl)).str(" rdlen=").dec(rec.rdata.size());
    if (!name_type_class(out, s.label, rec.name, rec.type, rec.cls) || !out.put(numbers.view()) ||
        !out.put(sep))
        return false;
    const Bytes d = rec.rdata;
    if (d.empty() || rec.cls != kClassIn) return true;
    const int w = static_cast<int>(std::strlen(s.label)) + 2;

    if (rec.type == kTypeNb && d.size() >= 6) {
        for (uint32_t e = 0; e + 6 <= d.size(); e += 6) {
            if (std::strlen(sep) + 2 * w + 26 > out.left()) return true;
            // "  %*.*srdata: 0x%x %d.%d.%d.%d%s" with w blanks
            Line<64> line;
            for (int i = 0; i < w + 2; ++i) line.chr(' ');
            line.str("rdata: 0x").hex_min(d.u8(e)).chr(' ');
            line.str(dotted(d, e + 2).view());
            if (!out.put(line.view()) || !out.put(sep)) return false;
        }
    } else if (rec.type == kTypeNbstat) {
        uint32_t pos = 1;
        for (uint32_t i = d.u8(0); i > 0; --i) {
            nb_name node;
            uint32_t used = nb_name_read(d, pos, node);
            if (!used || !d.has(pos + used, 2)) return true;
            if (!out.add("%*.*sdata: %s %x%s", w, w, "", nb_name_text(node).text, d.be16(pos + used), sep))
                return false;
            pos += used + 2;
        }
    }
    return true;
}

}  // namespace

uint32_t nb_name_read(Bytes msg, uint32_t pos, nb_name &out) {
    out = nb_name{};
    const uint32_t n = msg.size();
    uint32_t p = pos;
    if (p > n || n - p < 2) return 0;

    uint32_t consumed = 0;
    bool compressed = false;
    for (uint32_t jumps = 0; (msg.u8(p) & 0xC0) == 0xC0; ++jumps) {
        if (jumps == kMaxJumps) return 0;
        if (!compressed) consumed = 2;
        compressed = true;
        p = (msg.u8(p) & 0x3Fu) << 8 | msg.u8(p + 1);
        if (p > n - 2) return 0;
    }

    const uint32_t len = msg.u8(p);
    if (len == 0 || (len & 0xC0) || p + len + 2 > n) return 0;
    // A first label of odd length or longer than a full name is not a name.
    if (len % 2 || len > kEncodedName) return 0;
    if (!compressed) consumed = len + 2;

    nb_name name{};
    uint32_t bytes = 0;
    for (uint32_t i = 0; i < len; i += 2) {
        uint32_t hi = msg.u8(p + 1 + i) - uint32_t{'A'};
        uint32_t lo = msg.u8(p + 2 + i) - uint32_t{'A'};
        if (hi >= 16 || lo >= 16) return 0;
        name.name[bytes++] = static_cast<char>(hi << 4 | lo);
    }
    if (bytes == 16) {
        name.suffix = static_cast<uint8_t>(name.name[15]);
        name.name[15] = '\0';
        for (int i = 14; i >= 1 && name.name[i] == ' '; --i) name.name[i] = '\0';
    }

    p += len + 1;
    uint32_t scope = 0;
    while (uint32_t label = msg.u8(p)) {
        // A pointer inside the scope reads as an oversized label.
        if (label > kMaxLabel) return 0;
        if (!compressed) consumed += label + 1;
        uint32_t dot = scope ? 1 : 0;
        if (p + label + 2 > n || scope + dot + label > kMaxScope) return 0;
        if (dot) name.scope[scope++] = '.';
        scope += msg.copy_to(p + 1, name.scope + scope, label);
        p += label + 1;
    }
    out = name;
    return consumed;
}

NbNameText nb_name_text(const nb_name &nm) {
    // Assembled without formatted writes: names are shown several times
    // per frame.
    Line<kNbNameTextMax> t;
    for (size_t i = 0; i < 16 && nm.name[i]; ++i) {
        unsigned char c = static_cast<unsigned char>(nm.name[i]);
        if (c >= 0x20 && c < 0x7F)
            t.chr(static_cast<char>(c));
        else
            t.str("\\x").hex_lower(c, 2);
    }
    // The service text: the suffix in hex without leading zeros, a slash
    // and its name.
    t.chr('(').hex_min(nm.suffix).chr('/').str(service_name(nm.suffix)).chr(')');
    if (nm.scope[0]) t.chr('.').str(std::string_view(nm.scope, strnlen(nm.scope, kMaxScope)));
    std::string_view v = t.view();
    NbNameText text;
    std::memcpy(text.text, v.data(), v.size());
    text.text[v.size()] = '\0';
    return text;
}

uint32_t decode_nbns(Cursor &cur, Text &out) {
    Message msg{};
    if (!read_message(cur.view(), msg)) return PROTO_END;
    const char *sep = out.separator();
    // "NMB ID=%d OP=%s(%d) R=%s B=%s RA=%s RD=%s T=%s A=%s %s%s" and
    // "  qdcount=%d ancount=%d nscount=%d arcount=%d%s"
    Line<128> head;
    head.str("NMB ID=").dec(msg.id).str(" OP=").str(opcode_name(msg.opcode)).chr('(').dec(msg.opcode);
    head.str(") R=").chr(flag(msg.r)).str(" B=").chr(flag(msg.b)).str(" RA=").chr(flag(msg.ra));
    head.str(" RD=").chr(flag(msg.rd)).str(" T=").chr(flag(msg.tc)).str(" A=").chr(flag(msg.aa)).chr(' ');
    rcode_text(head, msg.rcode);
    Line<80> counts;
    counts.str("  qdcount=").dec(msg.qdcount).str(" ancount=").dec(msg.sections[0].count);
    counts.str(" nscount=").dec(msg.sections[1].count).str(" arcount=").dec(msg.sections[2].count);
    if (!out.put(head.view()) || !out.put(sep) || !out.put(counts.view()) || !out.put(sep))
        return PROTO_END;
    if (msg.qdcount &&
        (!name_type_class(out, "question", msg.qname, msg.qtype, msg.qclass) || !out.put(sep)))
        return PROTO_END;
    for (const Section &s : msg.sections)
        if (s.count && !show_record(s, out)) return PROTO_END;
    return PROTO_END;
}

}  // namespace caplib
