// CCP and ECP options: the option walk's stepping, their own forms.
#include <array>

#include "decode/names.h"
#include "protocols/ppp/ppp.h"

namespace caplib {
namespace {

struct Compressor {
    uint8_t type;
    uint8_t min_len;
    const char *opening;
};

constexpr std::array<Compressor, 10> kCompressors = {{
    {0, 6, "OUI("},
    {1, 2, "PREDICTOR1("},
    {2, 2, "PREDICTOR2("},
    {3, 2, "PuddleJmp("},
    {16, 2, "HP("},
    {17, 2, "Stac("},
    {18, 2, "Microsoft("},
    {19, 2, "Gandalf("},
    {20, 2, "V42bis("},
    {21, 2, "BSD("},
}};

// CCP: the opening, the value in hex, ") ". Options too short for a length
// show no value and are stepped over as two bytes.
void ccp_option(Text &t, Bytes opt) {
    uint8_t type = opt.u8(0), len = opt.u8(1);
    const Compressor *c = find(kCompressors, &Compressor::type, type);
    const char *opening = c && len >= c->min_len ? c->opening : nullptr;
    if (opening)
        t.put(opening);
    else
        t.add("%2.2x(", type);
    put_hex(t, opt.from(2), true);
    t.put(") ");
}

// Vendor ciphers by the byte at offset 5; 11 to 254 have no name.
constexpr std::array<const char *, 11> kCiphers = {
    "NONE", "IDEA", "DES", "DES3", "TWOFISH", "DUMMY", "TWOFISH128", "TWOFISH256", "TWOFISH512",
    "TWOFISH1024", "TWOFISH2048",
};
constexpr uint8_t kDummyCipher = 255;

const char *cipher_name(uint8_t cipher) {
    if (cipher < kCiphers.size()) return kCiphers[cipher];
    return cipher == kDummyCipher ? "DUMMY" : nullptr;
}

constexpr uint32_t kVendorHeader = 12;
constexpr uint32_t kVendorMin = 6;

// Cipher, version numbers, then the key bytes grouped by eight offsets.
void vendor_option(Text &t, Bytes opt) {
    if (const char *name = cipher_name(opt.u8(5)))
        t.add("ZEK(%s %d.%d %d.%d.%d (%d)", name, opt.u8(6), opt.u8(7), opt.u8(8), opt.u8(9), opt.u8(10),
              opt.u8(11));
    else
        t.add("ZEK(%d %d.%d %d.%d.%d (%d)", opt.u8(5), opt.u8(6), opt.u8(7), opt.u8(8), opt.u8(9),
              opt.u8(10), opt.u8(11));
    if (opt.size() > kVendorHeader) t.put(" :");
    for (uint32_t off = kVendorHeader; off < opt.size(); ++off) {
        if (off % 8 == 0) t.put(' ');
        put_hex(t, opt.slice(off, 1), false);
    }
    t.put(") ");
}

// Each byte behind a blank.
void spaced_hex(Text &t, Bytes bytes) {
    if (bytes.empty()) return;
    t.put(' ');
    put_hex(t, bytes, false, " ");
}

void ecp_option(Text &t, Bytes opt) {
    uint8_t type = opt.u8(0), len = opt.u8(1);
    if (type == 0 && len >= kVendorHeader) {
        vendor_option(t, opt);
    } else if (type == 0 && len >= kVendorMin) {
        t.add("EVEND(%2.2x%2.2x%2.2x:%2.2x", opt.u8(2), opt.u8(3), opt.u8(4), opt.u8(5));
        spaced_hex(t, opt.from(6));
        t.put(") ");
    } else if (type != 1 && len >= 2) {
        // The value is shown only when both of its bytes are in the option.
        if (len >= 4)
            t.add("CRYPT($%x", opt.be16(2));
        else
            t.put("CRYPT(");
        spaced_hex(t, opt.from(2));
        t.put(") ");
    } else {
        generic_option(t, opt);
    }
}

}  // namespace

size_t ppp_ccp_options(Text &out, Bytes data, bool &handled) {
    return walk_options(out, data, handled, ccp_option);
}

size_t ppp_ecp_options(Text &out, Bytes data, bool &handled) {
    return walk_options(out, data, handled, ecp_option);
}

}  // namespace caplib
