// PPP link decoding: the frame decoder, protocol names, control packets and
// the option decoders they hand their data to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "decode/dispatch.h"
#include "decode/line.h"

namespace caplib {

// ---- frame decoder --------------------------------------------------------

// One PPP frame to text. Chain mode (columns false) hands IPv4, IPX and Van
// Jacobson payloads on by protocol id; column mode prints everything and
// lines frames up with multilink marks. The text is left open (no separator).
uint32_t decode_ppp(Cursor &cur, Text &out, bool columns);

// The text of one PPP frame. Every piece goes to text(), bounded so that
// in chain mode "..." and a short separator still fit behind a cut piece;
// in column mode nothing follows, and a piece is cut only where the room
// ends. A cut text ends in "...", for which the last characters give way.
class PppLine {
public:
    PppLine(Text &out, bool columns)
        : out_(out),
          start_(out.size()),
          room_(out.left()),
          bound_(out, start_ + (columns ? room_ - (room_ > 0) : limit())) {}

    Text &text() { return out_; }
    // The grouped byte dump prints while the frame's text is shorter.
    size_t limit() const { return room_ > kReserve ? room_ - kReserve : 0; }

    // The grouped byte dump: "%2.2X" per byte, a blank behind every fourth,
    // "..." when it stops early. Returns the number of bytes printed; the
    // bytes behind them stay unconsumed. Nothing may be printed after it.
    uint32_t dump(Bytes bytes);
    // Ends the frame's text: "..." when a piece was cut.
    void close();

private:
    static constexpr size_t kReserve = 7;
    void ellipsis();

    Text &out_;
    size_t start_;
    size_t room_;
    Text::Bound bound_;
    bool closed_ = false;
    bool ended_ = false;  // "..." written: the line is complete
};

// ---- protocol names -------------------------------------------------------

struct ProtocolName {
    char text[16];
};
// "LCP", "IPcp", "P:8123cp", ...
ProtocolName ppp_protocol_name(uint16_t proto);

// ---- control packets ------------------------------------------------------

// Prints the control packet behind the protocol field (protocol 0x8000 and
// up) and returns the number of its bytes consumed.
uint32_t ppp_control_packet(PppLine &line, Bytes packet, uint16_t proto);

// The option decoder convention: append to the text, read the data behind
// the packet header (up to the end of the frame) and set `handled` when the
// data needs no dump. The result is the number of characters appended;
// 0 means "given up": the caller drops whatever was appended and dumps.
// Handled clear with a non-zero result: the dump follows the decoder's text.
using OptionDecoder = size_t (*)(Text &out, Bytes data, bool &handled);

// The option walk: options of type, length (counting both) and value. A
// single byte left at the end is ignored; an option running past the data
// gives up. `print` gets each option's bytes: its whole length, or just type
// and length when the length byte is below 2 (the walk then steps 2 bytes).
template <typename PrintOption>
size_t walk_options(Text &out, Bytes data, bool &handled, PrintOption &&print) {
    size_t mark = out.size();
    uint32_t off = 0;
    while (off + 1 < data.size()) {
        uint32_t len = data.u8(off + 1);
        if (len > data.size() - off) return 0;
        uint32_t step = len < 2 ? 2 : len;
        print(out, data.slice(off, step));
        off += step;
    }
    handled = true;
    return out.size() - mark;
}

// One line of an option table: the option of `type` whose length lies in
// [min_len, max_len] and for which `when` (if any) holds is printed by
// `print`. Printers get the option's bytes (type byte at offset 0).
struct OptionRule {
    uint8_t type;
    uint8_t min_len;
    uint8_t max_len;
    bool (*when)(Bytes opt);
    void (*print)(Text &out, Bytes opt);
};
inline constexpr uint8_t kAnyLength = 255;

// Rule condition: the option's first value byte (offset 2) is V.
template <uint8_t V>
bool value_is(Bytes opt) {
    return opt.u8(2) == V;
}

// The option walk with a table of rules, first match wins; options that no
// rule takes get the generic forms.
size_t table_options(Text &out, Bytes data, bool &handled, std::span<const OptionRule> rules);
// Generic forms: "%2.2X" per byte and a blank, or "%2.2X:%2.2X" for an
// option whose length byte is below 2.
void generic_option(Text &out, Bytes opt);
// Every byte as two hex digits, each behind `between` except the first.
void put_hex(Text &out, Bytes bytes, bool upper, const char *between = "");

// ---- text routines of the option decoders ---------------------------------

inline constexpr size_t kPrintableMax = 124;
struct Printable {
    char text[kPrintableMax + 1];
};
// At most min(limit, 124) characters: blank stays, other white space becomes
// '_', 0x21..0x7E stay, everything else becomes '.'.
Printable make_printable(Bytes bytes, size_t limit);
// Zero-fills buf and copies at most buf.size() - 1 raw bytes into it; the
// text thus ends at the first zero byte.
const char *copy_bounded(std::span<char> buf, Bytes bytes);

// ---- option decoders ------------------------------------------------------

size_t ppp_lcp_options(Text &, Bytes, bool &);

size_t ppp_pap_request(Text &, Bytes, bool &);
size_t ppp_auth_result(Text &, bool failure, Bytes, bool &);
size_t ppp_chap_value(Text &, Bytes, bool &);
size_t ppp_eap_packet(Text &, Bytes, bool &);
size_t ppp_ncap_request(Text &, Bytes, bool &);

size_t ppp_bap_packet(Text &, Bytes, bool &);
size_t ppp_bacp_options(Text &, Bytes, bool &);

size_t ppp_ipcp_options(Text &, Bytes, bool &);
size_t ppp_ipxcp_options(Text &, Bytes, bool &);
size_t ppp_atcp_options(Text &, Bytes, bool &);
size_t ppp_ccp_options(Text &, Bytes, bool &);
size_t ppp_ecp_options(Text &, Bytes, bool &);

size_t ppp_scp_options(Text &, Bytes, bool &);
size_t ppp_nscp_options(Text &, Bytes, bool &);
size_t ppp_recp_options(Text &, Bytes, bool &);
size_t ppp_cbcp_options(Text &, Bytes, bool &);

}  // namespace caplib
