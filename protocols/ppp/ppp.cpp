// PPP frames: address/control and protocol fields, multilink headers, the
// hand-over of network payloads, and the two entry points.
#include "protocols/ppp/ppp.h"

#include <array>

#include "caplib.h"
#include "decode/decoders.h"
#include "decode/names.h"

namespace caplib {

// ---- the text of one frame ------------------------------------------------

void PppLine::ellipsis() {
    const size_t keep = room_ > 4 ? room_ - 4 : 0;  // "..." and the terminator
    if (out_.size() - start_ > keep) out_.rewind(start_ + keep);
    out_.put("...");
    ended_ = true;
}

void PppLine::close() {
    if (closed_) return;
    closed_ = true;
    // A piece that did not fit filled the bound; a decoder that gave up
    // after a cut has taken its text back.
    const bool cut = out_.cut() && out_.left() <= 1;
    bound_.release();
    if (cut) ellipsis();
}

uint32_t PppLine::dump(Bytes bytes) {
    close();
    if (ended_) return 0;
    const size_t bound = limit();
    uint32_t i = 0;
    for (; i < bytes.size() && out_.size() - start_ < bound; ++i) {
        uint8_t b = bytes.u8(i);
        const char group[3] = {kHexUpper[b >> 4], kHexUpper[b & 15], ' '};
        out_.put(std::string_view(group, (i & 3) == 3 ? 3 : 2));
    }
    if (i < bytes.size()) ellipsis();
    return i;
}

// ---- frame decoder --------------------------------------------------------

namespace {

constexpr uint16_t kMultilink = 0x003D;
constexpr uint16_t kMultilinkPlus = 0x0073;
constexpr uint16_t kControlFirst = 0x8000;

constexpr uint32_t kBegin = 1u << 31;
constexpr uint32_t kEnd = 1u << 30;
constexpr uint32_t kReserved = 0x3Fu << 24;
constexpr uint32_t kSequence = 0x00FFFFFF;

// Frames without a multilink mark line up with those that have one; a
// fragment that continues a packet has no protocol name to show.
constexpr std::string_view kNoMark = "     ";
constexpr std::string_view kNoName = "         ";

// Reads a protocol field at pos: one byte when it is odd (field
// compression), else two. False, pos unmoved, when the frame ends inside it.
bool read_protocol(Bytes f, uint32_t &pos, uint16_t &proto) {
    if (!f.has(pos)) return false;
    uint8_t first = f.u8(pos);
    if (first & 1) {
        proto = first;
        pos += 1;
        return true;
    }
    if (!f.has(pos, 2)) return false;
    proto = f.be16(pos);
    pos += 2;
    return true;
}

struct HandOver {
    uint16_t proto;
    bool (*takes)(uint8_t first);  // test on the first payload byte; nullptr: always
    uint32_t next;
};

constexpr std::array<HandOver, 4> kHandOver = {{
    {0x002D, nullptr, PROTO_VJC},
    {0x002F, nullptr, PROTO_IP_VJU},
    // IPv4 with a header of at least 20 bytes
    {0x0021, [](uint8_t b) { return (b >> 4) == 4 && (b & 15) >= 5; }, PROTO_IP},
    // the high byte of the IPX checksum 0xFFFF
    {0x002B, [](uint8_t b) { return b == 0xFF; }, PROTO_IPX},
}};

uint32_t hand_over(uint16_t proto, uint8_t first) {
    const HandOver *h = find(kHandOver, &HandOver::proto, proto);
    return h && (!h->takes || h->takes(first)) ? h->next : PROTO_END;
}

void multilink_mark(Text &t, const char *label, uint32_t header) {
    uint32_t seq = header & kSequence;
    bool begin = header & kBegin, end = header & kEnd;
    if (begin && end)
        t.add("%s [%u] ", label, seq);
    else if (begin)
        t.add("%s [%u> ", label, seq);
    else if (end)
        t.add("%s <%u] ", label, seq);
    else
        t.add("%s <%u> ", label, seq);
}

}  // namespace

uint32_t decode_ppp(Cursor &cur, Text &out, bool columns) {
    PppLine line(out, columns);
    Text &t = line.text();
    const Bytes f = cur.view();

    uint32_t pos = f.starts_with(0, {0xFF, 0x03}) ? 2 : 0;
    uint16_t proto = 0;
    bool have_proto = read_protocol(f, pos, proto);
    bool begin = true;

    if (have_proto && (proto == kMultilink || proto == kMultilinkPlus) && f.has(pos, 4)) {
        uint32_t header = f.be32(pos);
        pos += 4;
        begin = header & kBegin;
        bool plus = (header & kReserved) || proto == kMultilinkPlus;
        multilink_mark(t, plus ? "ML+" : "ML", header);
        if (begin && !plus) have_proto = read_protocol(f, pos, proto);
    } else if (columns) {
        t.put(kNoMark);
    }
    // A multilink header cut short is left to the dump behind the name MP.

    uint32_t next = PROTO_END;
    if (!f.has(pos)) {
        // Nothing behind the protocol field: nothing more to show.
    } else if (!have_proto) {
        pos += line.dump(f.from(pos));  // the frame ends inside a protocol field
    } else if (begin && proto >= kControlFirst) {
        pos += ppp_control_packet(line, f.from(pos), proto);
    } else {
        if (begin && !columns) next = hand_over(proto, f.u8(pos));
        if (next == PROTO_END) {
            if (begin)
                t.add("%s ", ppp_protocol_name(proto).text);
            else
                t.put(kNoName);
            pos += line.dump(f.from(pos));
        }
    }
    line.close();
    cur.consume(pos);
    return next;
}

uint32_t decode_ppp_chain(Cursor &cur, Text &out) {
    const size_t before = out.size();
    const uint32_t next = decode_ppp(cur, out, false);
    if (out.size() > before) out.put(out.separator());
    return next;
}

}  // namespace caplib

extern "C" CAPLIB_API int CAPLIB_decode_ppp(const unsigned char *data, uint32_t length, char *text,
                                            uint32_t room) {
    caplib::Text out(text, room);
    caplib::Cursor cur(caplib::Bytes(data, length));
    caplib::decode_ppp(cur, out, true);
    return 0;
}
