// Bandwidth allocation: BAP packets and BACP options.
#include <array>

#include "decode/names.h"
#include "protocols/ppp/ppp.h"

namespace caplib {
namespace {

constexpr size_t kTextLimit = 64;

// The misspelling is what users of these traces know.
constexpr std::array<const char *, 9> kTypes = {
    "Unkown",                 "Call-Request",           "Call-Response",
    "Callback-Request",       "Callback-Response",      "LinkDropQuery-Request",
    "LinkDropQuery-Response", "CallStatus-Indication",  "CallStatus-Response",
};
constexpr std::array<const char *, 4> kResponses = {"ACK", "NAK", "REJ", "FULL-NAK"};

const char *type_name(uint8_t type) { return type < kTypes.size() ? kTypes[type] : kTypes[0]; }
const char *response_name(uint8_t code) { return code < kResponses.size() ? kResponses[code] : "Illegal"; }

constexpr std::array<Named, 5> kLinkTypes = {{
    {1, " ISDN"},
    {2, " X.25"},
    {4, " ANALOG"},
    {8, " SWITCHED DIGITAL"},
    {16, " ISDN DATA OVER VOICE"},
}};

void link_type(Text &t, uint8_t value) {
    if (const char *name = name_of(kLinkTypes, value)) {
        t.put(name);
        return;
    }
    if (value == 32 || value == 64 || value == 126)
        t.add(" RESERVED($%x)", value);
    else
        t.add(" TYPE($%x)", value);
}

void printable_value(Text &t, const char *label, Bytes value) {
    t.add(" %s:\"%s\"", label, make_printable(value, kTextLimit).text);
}

// Sub-options of the phone-delta option; false for a length below 2.
bool phone_delta(Text &t, Bytes opt) {
    uint32_t off = 2;
    while (opt.has(off, 2)) {
        uint32_t len = opt.u8(off + 1);
        if (len < 2) return false;
        if (!opt.has(off, len)) break;
        Bytes sub = opt.slice(off, len);
        switch (sub.u8(0)) {
        case 1:
            if (len >= 3) t.add(" UNIQUE(%d)", sub.u8(2));
            break;
        case 2:
            printable_value(t, "PHONE", sub.from(2));
            break;
        case 3:
            printable_value(t, "SUB", sub.from(2));
            break;
        default:
            break;
        }
        off += len;
    }
    return true;
}

// Data options with fields at fixed offsets need their length; shorter
// ones take the form of unknown options.
struct DataOption {
    uint8_t type;
    uint8_t min_len;
    bool (*print)(Text &, Bytes opt);
};

constexpr std::array<DataOption, 6> kDataOptions = {{
    {1, 5,
     [](Text &t, Bytes p) {
         t.add(" SPEED(%d)", p.be16(2));
         link_type(t, p.u8(4));
         return true;
     }},
    {2, 2, phone_delta},
    {3, 2,
     [](Text &t, Bytes) {
         t.put(" NoNumNeed");
         return true;
     }},
    {4, 2,
     [](Text &t, Bytes p) {
         printable_value(t, "NOTE", p.from(2));
         return true;
     }},
    {5, 4,
     [](Text &t, Bytes p) {
         t.add(" LD(%d)", p.be16(2));
         return true;
     }},
    {6, 4,
     [](Text &t, Bytes p) {
         t.add(" Status(0x%x)", p.u8(2));
         t.put(p.u8(3) ? " Retry" : " No retry");
         return true;
     }},
}};

bool data_option(Text &t, Bytes opt) {
    uint8_t type = opt.u8(0);
    for (const DataOption &d : kDataOptions)
        if (d.type == type && opt.size() >= d.min_len) return d.print(t, opt);
    t.add(" %d:\"%s\"", type, make_printable(opt.from(2), kTextLimit).text);
    return true;
}

constexpr std::array<OptionRule, 1> kBacpRules = {{
    {1, 6, 6, nullptr, [](Text &t, Bytes p) { t.add("FAVORED(0x%x) ", p.be32(2)); }},
}};

}  // namespace

size_t ppp_bap_packet(Text &out, Bytes data, bool &handled) {
    if (!data.has(0, 4)) return 0;
    size_t mark = out.size();
    uint8_t type = data.u8(0), id = data.u8(1);
    uint32_t off = 4;
    if (type & 1) {
        out.add("%s ID(%d):", type_name(type), id);
    } else {
        // Responses carry their code behind the header.
        const char *response = "BAD";
        if (data.has(off)) response = response_name(data.u8(off++));
        out.add("%s(%s) ID(%d):", type_name(type), response, id);
    }
    // An option running past the frame ends the text; one shorter than its
    // own header makes the whole packet a dump.
    while (data.has(off, 2)) {
        uint32_t len = data.u8(off + 1);
        if (!data.has(off, len)) break;
        if (len < 2 || !data_option(out, data.slice(off, len))) return 0;
        off += len;
    }
    handled = true;
    return out.size() - mark;
}

size_t ppp_bacp_options(Text &out, Bytes data, bool &handled) {
    return table_options(out, data, handled, kBacpRules);
}

}  // namespace caplib
