// NetBIOS carried directly in IPX: name management frames show their
// operation, flags and name; other frames end the chain without text.
#include <array>
#include <cstdio>
#include <cstring>

#include "decode/decoders.h"
#include "decode/names.h"

namespace caplib {
namespace {


constexpr std::array<Named, 4> kOperations = {{
    {1, "Name query"},
    {2, "Name query Responce"},
    {3, "Name Claim"},
    {5, "Name Deregister"},
}};

const char *operation_name(uint8_t op, char (&buf)[24]) {
    if (const char *name = name_of(kOperations, op)) return name;
    std::snprintf(buf, sizeof buf, "Name.. (code %d)", op);
    return buf;
}

// Name type flags. Deregistered takes the free low bit next to the
// registration bits.
constexpr uint8_t kNotGroup = 0x80, kUsed = 0x40, kRegistered = 0x04, kNotDuplicated = 0x02,
                  kDeregistered = 0x01;

const char *bit(uint8_t flags, uint8_t mask) { return flags & mask ? "1" : "0"; }

// Behind the IPX header: the propagation path (eight networks), then the
// flags, the operation and the raw 16-byte name.
constexpr uint32_t kFlags = 32, kOperation = 33, kName = 34, kNameLen = 16;

}  // namespace

uint32_t decode_ipx_nbname(Cursor &cur, Text &out) {
    Bytes b = cur.view();
    uint8_t flags = b.u8(kFlags);
    char buf[24];
    if (!out.add("   %s: notgroup=%s used=%s registered=%s notduplicated=%s deregistered=%s%s   ",
                 operation_name(b.u8(kOperation), buf), bit(flags, kNotGroup), bit(flags, kUsed),
                 bit(flags, kRegistered), bit(flags, kNotDuplicated), bit(flags, kDeregistered),
                 out.separator()))
        return PROTO_END;
    // The name line goes in whole or not at all: two quotes, the name and
    // the terminator besides the separator.
    if (out.left() < std::strlen(out.separator()) + kNameLen + 3) return PROTO_END;
    char name[kNameLen];
    for (uint32_t i = 0; i < kNameLen; ++i) {
        uint8_t c = b.u8(kName + i);
        name[i] = c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.';
    }
    out.add("\"%.*s\"%s", static_cast<int>(kNameLen), name, out.separator());
    return PROTO_END;
}

uint32_t decode_ipx_nbdata(Cursor &, Text &) { return PROTO_END; }

}  // namespace caplib
