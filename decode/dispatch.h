// The protocol chain: protocol ids, the decoder cursor and the calling
// convention every decoder follows.
#pragma once

#include <cstdint>

#include "decode/bytes.h"
#include "decode/text.h"

namespace caplib {

enum Proto : uint32_t {
    PROTO_END = 0,  // no further protocol: the chain ends
    PROTO_PPP = 1,
    PROTO_ETHERNET = 2,
    PROTO_TOKENRING = 3,
    PROTO_IPX = 4,
    PROTO_SPX = 5,
    PROTO_NCP = 6,
    // 7 is not assigned
    PROTO_ARP = 8,
    PROTO_IP = 9,
    PROTO_ICMP = 10,
    PROTO_UDP = 11,
    PROTO_TCP = 12,
    PROTO_NBSS = 13,
    PROTO_SMB = 14,
    PROTO_IPXWAN = 15,
    PROTO_NBNS = 16,
    PROTO_NBDS = 17,
    PROTO_IPX_NBNAME = 18,
    PROTO_IPX_NBDATA = 19,
    PROTO_PPPOE_DISC = 20,
    PROTO_PPPOE_SESS = 21,
    PROTO_IP_VJU = 22,
    PROTO_VJC = 23,
};
inline constexpr uint32_t PROTO_COUNT = 24;  // ids 0..23

// The decoder cursor: where the next decoder's header starts within the
// frame, and where the bytes this chain may read end. The frame itself is
// kept so that a decoder can look at bytes in front of its header (SMB's
// size field) without ever leaving the frame.
class Cursor {
public:
    explicit Cursor(Bytes frame) : frame_(frame), end_(frame.size()) {}

    Bytes view() const { return frame_.slice(pos_, end_ - pos_); }
    uint32_t remaining() const { return end_ - pos_; }
    uint32_t offset() const { return pos_; }

    // Moves past n bytes; refuses (and moves nothing) when fewer remain.
    bool consume(uint32_t n) {
        if (n > remaining()) return false;
        pos_ += n;
        return true;
    }
    // Lowers the remaining count to n (never raises it).
    void limit(uint32_t n) {
        if (n < remaining()) end_ = pos_ + n;
    }
    // The n bytes in front of the cursor; empty when the frame holds fewer.
    Bytes before(uint32_t n) const { return n <= pos_ ? frame_.slice(pos_ - n, n) : Bytes(); }

private:
    Bytes frame_;
    uint32_t pos_ = 0;
    uint32_t end_;
};

// Every decoder reads its header at the cursor, appends its text (ending
// its line with the text's separator()), consumes what it read and returns
// the next protocol id, PROTO_END to stop. It is started with at least 100 bytes
// of text space left and with at least the minimum header of its row in
// the registration table (decode/dispatch.cpp) captured.
using Decoder = uint32_t (*)(Cursor &, Text &);

inline constexpr uint32_t DECODER_MIN_SPACE = 100;

// The decoder registered for an id, nullptr when none is built.
Decoder decoder_for(uint32_t id);

// Runs the chain from `first` over the frame, appending to text.
void decode_chain(uint32_t first, Bytes frame, Text &text);

// First protocol id of a layer code, PROTO_END for layers without one.
uint32_t first_proto(uint32_t layer);

// A frame of a layer code, its lines ending in the text's separator.
void decode_layer(uint32_t layer, Bytes frame, Text &text);

}  // namespace caplib
