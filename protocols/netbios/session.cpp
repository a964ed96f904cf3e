// NetBIOS session service: strips the session header, hands messages to SMB.
#include "decode/decoders.h"

namespace caplib {
namespace {

constexpr uint8_t kSessionMessage = 0x00;
constexpr uint8_t kKeepAlive = 0x85;
constexpr uint32_t kHeader = 4;

}  // namespace

uint32_t decode_nbss(Cursor &cur, Text &out) {
    Bytes b = cur.view();
    uint8_t type = b.u8(0);
    cur.consume(kHeader);
    if (type == kSessionMessage) return PROTO_SMB;
    if (type == kKeepAlive) out.add("NetBIOS-KeepAlive%s", out.separator());
    return PROTO_END;
}

}  // namespace caplib
