// Control-protocol packets (LCP and its relatives): header, code, and the
// option decoder chosen by protocol and code.
#include <array>
#include <cstring>

#include "decode/names.h"
#include "protocols/ppp/ppp.h"

namespace caplib {

// ---- text routines --------------------------------------------------------

Printable make_printable(Bytes bytes, size_t limit) {
    Printable out{};
    size_t n = bytes.size();
    if (n > limit) n = limit;
    if (n > kPrintableMax) n = kPrintableMax;
    for (size_t i = 0; i < n; ++i) {
        uint8_t b = bytes.u8(static_cast<uint32_t>(i));
        if (b == ' ' || (b > ' ' && b < 0x7F))
            out.text[i] = static_cast<char>(b);
        else if (b >= 0x09 && b <= 0x0D)
            out.text[i] = '_';
        else
            out.text[i] = '.';
    }
    return out;
}

const char *copy_bounded(std::span<char> buf, Bytes bytes) {
    if (buf.empty()) return "";
    std::memset(buf.data(), 0, buf.size());
    bytes.copy_to(0, buf.data(), static_cast<uint32_t>(buf.size() - 1));
    return buf.data();
}

// ---- the option walk ------------------------------------------------------

void put_hex(Text &out, Bytes bytes, bool upper, const char *between) {
    const char *digits = upper ? kHexUpper : kHexLower;
    std::string_view sep(between);
    for (uint32_t i = 0; i < bytes.size(); ++i) {
        if (i) out.put(sep);
        uint8_t b = bytes.u8(i);
        const char pair[2] = {digits[b >> 4], digits[b & 15]};
        out.put(std::string_view(pair, 2));
    }
}

void generic_option(Text &out, Bytes opt) {
    uint8_t len = opt.u8(1);
    if (len < 2) {
        out.add("%2.2X:%2.2X", opt.u8(0), len);
        return;
    }
    put_hex(out, opt, true);
    out.put(' ');
}

size_t table_options(Text &out, Bytes data, bool &handled, std::span<const OptionRule> rules) {
    return walk_options(out, data, handled, [rules](Text &t, Bytes opt) {
        uint8_t type = opt.u8(0), len = opt.u8(1);
        for (const OptionRule &r : rules) {
            if (r.type != type || len < r.min_len || len > r.max_len) continue;
            if (r.when && !r.when(opt)) continue;
            r.print(t, opt);
            return;
        }
        generic_option(t, opt);
    });
}

// ---- control packets ------------------------------------------------------

namespace {

constexpr uint16_t kLinkQuality = 0xC025;
constexpr uint16_t kBandwidthAllocation = 0xC02D;
constexpr uint32_t kHeader = 4;
constexpr uint32_t kLinkQualityReport = 48;
constexpr uint32_t kCodeRejShown = 16;
constexpr size_t kMessageLimit = 100;

// What follows the label of each code.
enum class Body {
    Options,   // 1-4: the option decoder of the protocol
    HexData,   // every data byte in hex
    CodeRej,   // the first 16 data bytes in hex
    ProtRej,   // the rejected protocol
    Nothing,   // the dump shows the data
    Message,   // magic number and text
};

struct Code {
    const char *label;
    Body body;
};

constexpr std::array<Code, 16> kCodes = {{
    {nullptr, Body::Nothing},  // 0: "Cmd: 0 "
    {"ConfReq ", Body::Options},
    {"ConfAck ", Body::Options},
    {"ConfNak ", Body::Options},
    {"ConfRej ", Body::Options},
    {"TermReq ", Body::HexData},
    {"TermAck ", Body::HexData},
    {"CodeRej ", Body::CodeRej},
    {"ProtRej ", Body::ProtRej},
    {"EchoReq ", Body::Nothing},
    {"EchoRep ", Body::Nothing},
    {"DISCARD ", Body::Message},
    {"IDENT ", Body::Message},
    {"TIME_REMAINING ", Body::Nothing},
    {"ResetReq ", Body::HexData},
    {"ResetAck ", Body::HexData},
}};

// The decoders of codes 1 to 4 by protocol, and what is printed for them
// when no byte follows the header.
struct ControlProtocol {
    uint16_t proto;
    std::array<OptionDecoder, 4> decode;
    std::array<const char *, 4> no_data;
};

constexpr std::array<const char *, 4> kSilent = {};
constexpr std::array<const char *, 4> kResultTexts = {nullptr, nullptr, "Success", "Failure"};
template <OptionDecoder D>
constexpr std::array<OptionDecoder, 4> kAllCodes = {D, D, D, D};

// Result messages: PAP's begin with their length byte, CHAP's and EAP's
// have none.
size_t pap_success(Text &t, Bytes d, bool &h) { return ppp_auth_result(t, false, d.from(1), h); }
size_t pap_failure(Text &t, Bytes d, bool &h) { return ppp_auth_result(t, true, d.from(1), h); }
size_t auth_success(Text &t, Bytes d, bool &h) { return ppp_auth_result(t, false, d, h); }
size_t auth_failure(Text &t, Bytes d, bool &h) { return ppp_auth_result(t, true, d, h); }

constexpr std::array<ControlProtocol, 18> kControlProtocols = {{
    {0xC021, kAllCodes<ppp_lcp_options>, kSilent},
    {0xC023, {ppp_pap_request, pap_success, pap_failure, nullptr}, {nullptr, "Success", "Failure", nullptr}},
    {0xC223, {ppp_chap_value, ppp_chap_value, auth_success, auth_failure}, kResultTexts},
    {0xC227, {ppp_eap_packet, ppp_eap_packet, auth_success, auth_failure}, kResultTexts},
    {0xC225, {ppp_ncap_request, nullptr, nullptr, nullptr}, kSilent},
    {0xC099, {ppp_bacp_options, ppp_bacp_options, nullptr, nullptr}, kResultTexts},
    {0xC02B, kAllCodes<ppp_bacp_options>, kSilent},
    {0xC029, kAllCodes<ppp_cbcp_options>, kSilent},
    {0xC089, kAllCodes<ppp_recp_options>, kSilent},
    {0x8021, kAllCodes<ppp_ipcp_options>, kSilent},
    {0x8029, kAllCodes<ppp_atcp_options>, kSilent},
    {0x802B, kAllCodes<ppp_ipxcp_options>, kSilent},
    {0x8053, kAllCodes<ppp_ecp_options>, kSilent},
    {0x8055, kAllCodes<ppp_ecp_options>, kSilent},
    {0x8077, kAllCodes<ppp_nscp_options>, kSilent},
    {0x80FB, kAllCodes<ppp_ccp_options>, kSilent},
    {0x80FD, kAllCodes<ppp_ccp_options>, kSilent},
    {0x8889, kAllCodes<ppp_scp_options>, kSilent},
}};

const ControlProtocol *control_protocol(uint16_t proto) {
    return find(kControlProtocols, &ControlProtocol::proto, proto);
}

// Runs an option decoder under the convention: a decoder that gives up
// leaves no text behind.
void run_decoder(Text &t, OptionDecoder decode, Bytes data, bool &handled) {
    size_t mark = t.size();
    if (decode(t, data, handled) == 0) t.rewind(mark);
}

// "%3.3X#%2.2X:" with length and identifier, written without formatting.
void packet_header(Text &t, uint16_t length, uint8_t id) {
    Line<8> line;
    line.hex(length, length > 0xFFF ? 4 : 3).chr('#').hex(id, 2).chr(':');
    t.put(line.view());
}

void link_quality_report(Text &t, Bytes r) {
    t.add("LastOut:%u/%u/%u ", r.be32(4), r.be32(8), r.be32(12));
    t.add("PeerIn:%u/%u(%u/%u)%u ", r.be32(16), r.be32(20), r.be32(24), r.be32(28), r.be32(32));
    t.add("PeerOut:%u/%u/%u ", r.be32(36), r.be32(40), r.be32(44));
}

// Prints the body of code `code`; returns the bytes of data it consumed.
uint32_t code_body(Text &t, uint16_t proto, uint8_t code, uint16_t length, Bytes data,
                   bool &handled) {
    const Code c = code < kCodes.size() ? kCodes[code] : Code{nullptr, Body::Nothing};
    if (!c.label) {
        t.add("Cmd: %X ", code);
        return 0;
    }
    t.put(c.label);
    switch (c.body) {
    case Body::Options: {
        const ControlProtocol *p = control_protocol(proto);
        if (!p) return 0;
        if (data.empty()) {
            if (const char *text = p->no_data[code - 1]) t.put(text);
        } else if (OptionDecoder decode = p->decode[code - 1]) {
            run_decoder(t, decode, data, handled);
        }
        return 0;
    }
    case Body::HexData:
        if (!data.empty()) {
            put_hex(t, data, false);
            t.put(' ');
        }
        handled = true;
        return 0;
    case Body::CodeRej:
        if (!data.empty()) {
            put_hex(t, data.first(kCodeRejShown), false);
            t.put(data.size() > kCodeRejShown ? "... " : " ");
        }
        handled = true;
        return 0;
    case Body::ProtRej: {
        if (!data.has(0, 2)) return 0;  // cut short: the dump shows what is there
        uint16_t rejected = data.be16(0);
        t.add("%s (%4.4X) ", ppp_protocol_name(rejected).text, rejected);
        handled = true;
        return 2;
    }
    case Body::Message:
        // The text runs for the packet's length, but never past the frame.
        if (length >= 8 && data.has(0, 4)) {
            t.add("(%8.8x) \"%s\"", data.be32(0),
                  make_printable(data.slice(4, length - 8u), kMessageLimit).text);
            handled = true;
        }
        return 0;
    case Body::Nothing:
        return 0;
    }
    return 0;
}

}  // namespace

uint32_t ppp_control_packet(PppLine &line, Bytes packet, uint16_t proto) {
    Text &t = line.text();
    bool handled = false;
    uint32_t pos = 0;
    t.put(ppp_protocol_name(proto).text);
    t.put(' ');

    if (proto == kLinkQuality) {
        if (packet.has(0, kLinkQualityReport)) {
            link_quality_report(t, packet);
            pos = kLinkQualityReport;
            handled = true;
        }
    } else if (proto == kBandwidthAllocation) {
        run_decoder(t, ppp_bap_packet, packet, handled);  // its header is its own
    } else if (packet.has(0, kHeader)) {
        uint8_t code = packet.u8(0);
        uint16_t length = packet.be16(2);
        packet_header(t, length, packet.u8(1));
        pos = kHeader;
        pos += code_body(t, proto, code, length, packet.from(kHeader), handled);
    }
    // A packet cut inside its header or report is dumped as it stands.

    if (!handled) pos += line.dump(packet.from(pos));
    return pos;
}

}  // namespace caplib
