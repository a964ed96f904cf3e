// Van Jacobson compressed TCP/IP headers: the change mask, slot, checksum
// and the deltas the header carries. No slot state is kept, so nothing
// is reconstructed.
#include <array>
#include <cstring>

#include "decode/decoders.h"

namespace caplib {
namespace {

constexpr uint8_t kU = 0x01, kW = 0x02, kA = 0x04, kS = 0x08, kP = 0x10, kI = 0x20, kC = 0x40;
// Two values of the low four bits stand for implied deltas, not for fields.
constexpr uint8_t kDeltaBits = 0x0F, kEcho = kS | kW | kU, kUni = kS | kA | kW | kU;

constexpr uint8_t kSlots = 16;

struct DeltaField {
    uint8_t bit;
    const char *change;  // its name in the change text
    const char *name;    // its name in front of the delta
    bool is_signed;      // the window may shrink
};
constexpr std::array<DeltaField, 4> kDeltas = {{
    {kU, "U", "urg", false},
    {kW, "W", "win", true},
    {kA, "A", "ack", false},
    {kS, "S", "seq", false},
}};

struct ChangeText {
    char text[sizeof "C,U,W,A,S,ID,PUSH"];
};

ChangeText change_text(uint8_t mask) {
    ChangeText t{};
    size_t n = 0;
    auto add = [&](const char *name) {
        if (n) t.text[n++] = ',';
        size_t len = std::strlen(name);
        std::memcpy(t.text + n, name, len);
        n += len;
    };
    if (mask & kC) add("C");
    if ((mask & kDeltaBits) == kEcho) {
        add("ECHO");
    } else if ((mask & kDeltaBits) == kUni) {
        add("UNI");
    } else {
        for (const DeltaField &d : kDeltas)
            if (mask & d.bit) add(d.change);
    }
    if (mask & kI) add("ID");
    if (mask & kP) add("PUSH");
    t.text[n] = '\0';
    return t;
}

// Reads the header's fields in order; each read fails, taking nothing,
// when the frame ends inside the field.
class Fields {
public:
    explicit Fields(Bytes b) : b_(b) {}
    uint32_t used() const { return at_; }

    bool byte(uint8_t &v) {
        if (!b_.has(at_, 1)) return false;
        v = b_.u8(at_++);
        return true;
    }
    bool word(uint16_t &v) {
        if (!b_.has(at_, 2)) return false;
        v = b_.be16(at_);
        at_ += 2;
        return true;
    }
    // One byte of 1..255, or a zero byte and a 16-bit value.
    bool delta(uint16_t &v) {
        if (!b_.has(at_, 1)) return false;
        if (uint8_t small = b_.u8(at_); small != 0) {
            v = small;
            ++at_;
            return true;
        }
        if (!b_.has(at_, 3)) return false;
        v = b_.be16(at_ + 1);
        at_ += 3;
        return true;
    }

private:
    Bytes b_;
    uint32_t at_ = 0;
};

}  // namespace

uint32_t decode_vjc(Cursor &cur, Text &out) {
    Fields f(cur.view());
    const char *sep = out.separator();
    // A header that ends early shows the fields that are there.
    auto cut_short = [&] {
        out.put(sep);
        cur.consume(f.used());
        return PROTO_END;
    };

    uint8_t mask;
    if (!f.byte(mask)) {
        out.add("IP TCP-comp%s", sep);
        return PROTO_END;
    }
    if (!out.add("IP TCP-comp Changes=%s ", change_text(mask).text)) return PROTO_END;

    if (mask & kC) {
        uint8_t slot;
        if (!f.byte(slot)) return cut_short();
        if (slot >= kSlots) {
            // The line stays open: nothing behind a bad slot can be trusted.
            out.add("Slot=%u(bad) ", slot);
            return PROTO_END;
        }
        if (!out.add("Slot=%u ", slot)) return PROTO_END;
    }

    uint16_t checksum;
    if (!f.word(checksum)) return cut_short();
    if (!out.add("chksum=0x%04x ", checksum)) return PROTO_END;

    uint8_t implied = mask & kDeltaBits;
    if (implied != kEcho && implied != kUni) {
        for (const DeltaField &d : kDeltas) {
            if (!(mask & d.bit)) continue;
            uint16_t v;
            if (!f.delta(v)) return cut_short();
            int shown = d.is_signed ? static_cast<int16_t>(v) : v;
            if (!out.add(" %s+=%d", d.name, shown)) return PROTO_END;
        }
    }

    uint16_t id = 1;  // the implied increment
    if ((mask & kI) && !f.delta(id)) return cut_short();
    if (!out.add(" id+=%u%s", id, sep)) return PROTO_END;
    cur.consume(f.used());
    return PROTO_END;
}

}  // namespace caplib
