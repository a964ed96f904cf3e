// PPP over Ethernet: discovery packets with their tags, and the session
// header in front of a PPP frame.
#include <array>
#include <string_view>

#include "decode/decoders.h"
#include "decode/names.h"

namespace caplib {
namespace {

constexpr std::array<Named, 8> kCodes = {{
    {0x00, "PPP Frame"},
    {0x07, "Active Discovery Offer (PADO)"},
    {0x09, "Active Discovery Initiation (PADI)"},
    {0x19, "Active Discovery Request (PADR)"},
    {0x65, "Active Discovery Session-confirmation (PADS)"},
    {0xA7, "Active Discovery Terminate (PADT)"},
    {0xD3, "Active Discovery Message (PADM draft)"},
    {0xD4, "Active Discovery Network (PADN draft)"},
}};

// How a tag's value is shown.
enum class Value {
    none,          // the name alone
    text,          // "=value" unless empty: L = 0 shows the name alone
    text_or_q,     // "=value"; empty or starting with NUL shows "name ???"
    text_or_bare,  // "=value"; empty or starting with NUL shows the name alone
    route,         // addresses of a route
};

struct PppoeTag {
    uint16_t type;
    const char *name;
    Value value;
};
constexpr std::array<PppoeTag, 11> kTags = {{
    {0x0101, "Service-Name", Value::text},
    {0x0102, "AC-Name", Value::text},
    {0x0103, "Host-Uniq", Value::none},
    {0x0104, "AC-Cookie", Value::none},
    {0x0105, "Vendor-Specific", Value::none},
    {0x0110, "Relay-Session-Id", Value::none},
    {0x0111, "HURL", Value::text_or_q},
    {0x0112, "MOTM", Value::text_or_q},
    {0x0121, "IP_ROUTE_ADD", Value::route},
    {0x0201, "Service-Name-Error", Value::text_or_bare},
    {0x0202, "AC-System-Error", Value::text_or_bare},
}};

const PppoeTag *find_tag(uint16_t type) { return find(kTags, &PppoeTag::type, type); }

constexpr uint32_t kHeader = 6;
constexpr uint16_t kEndOfList = 0;

// A text value: up to L characters, ending early at a NUL, padded to L.
// Only the captured part of the value is read, and padded to.
void text_value(Text &out, Bytes value) {
    std::string_view chars = value.chars(0, value.cstr_len(0).value_or(value.size()));
    out.add("%-*.*s", static_cast<int>(value.size()), static_cast<int>(chars.size()),
            chars.empty() ? "" : chars.data());
}

void route_value(Text &out, Bytes value, uint32_t len) {
    if (len < 4) {
        out.put(" ???");
        return;
    }
    auto quad = [&](const char *lead, uint32_t off) {
        out.add("%s%u.%u.%u.%u", lead, value.u8(off), value.u8(off + 1), value.u8(off + 2),
                value.u8(off + 3));
    };
    // Each field stands only when the one before it did and its bytes are there.
    if (!value.has(0, 4)) return;
    quad(" ", 0);
    if (len < 8 || !value.has(4, 4)) return;
    quad(" ", 4);
    if (len < 12 || !value.has(8, 4)) return;
    quad(" via ", 8);
    if (len < 16 || !value.has(12, 4)) return;
    out.add(" %u", value.be32(12));
}

void show_tag(Text &out, uint16_t type, uint32_t len, Bytes value) {
    const PppoeTag *tag = find_tag(type);
    if (!tag) {
        out.add(" TAG0x%04x", type);
    } else {
        bool has_text = !value.empty() && value.u8(0) != 0;
        switch (tag->value) {
        case Value::none:
            out.add(" %s", tag->name);
            break;
        case Value::text:
            out.add(len ? " %s=" : " %s", tag->name);
            if (len) text_value(out, value);
            break;
        case Value::text_or_q:
        case Value::text_or_bare:
            if (has_text) {
                out.add(" %s=", tag->name);
                text_value(out, value);
            } else {
                out.add(tag->value == Value::text_or_q ? " %s ???" : " %s", tag->name);
            }
            break;
        case Value::route:
            out.add(" %s ", tag->name);
            route_value(out, value, len);
            break;
        }
    }
    out.add("(%u)", len);
}

// The line of the header both stages share. A cut line does not end the
// chain.
void header_line(Bytes b, Text &out) {
    const uint8_t code = b.u8(1);
    const char *name = name_of(kCodes, code);
    out.add("PPPoE %u/%u session_id=%u length=%u %s%s", b.u8(0) >> 4, b.u8(0) & 0x0Fu, b.be16(2), b.be16(4),
            (name ? NameOrNumber(name) : NameOrNumber("code=0x%x", code)).c_str(), out.separator());
}

}  // namespace

uint32_t decode_pppoe_discovery(Cursor &cur, Text &out) {
    Bytes b = cur.view();
    header_line(b, out);
    uint32_t end = kHeader + b.be16(4);
    // The walk follows the length field but stops at the captured bytes: a
    // tag whose type and length are not both there is not shown.
    for (uint32_t at = kHeader; at < end && b.has(at, 4) && !out.cut();) {
        uint16_t type = b.be16(at);
        if (type == kEndOfList) break;
        uint32_t len = b.be16(at + 2);
        show_tag(out, type, len, b.slice(at + 4, len));
        at += 4 + len;
    }
    out.put(out.separator());
    cur.consume(end <= b.size() ? end : b.size());
    return PROTO_END;
}

uint32_t decode_pppoe_session(Cursor &cur, Text &out) {
    Bytes b = cur.view();
    header_line(b, out);
    cur.consume(kHeader);
    // Ethernet padding behind the payload is not part of the PPP frame.
    cur.limit(b.be16(4));
    return PROTO_PPP;
}

}  // namespace caplib
