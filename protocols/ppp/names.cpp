// Short names of PPP protocol numbers.
#include <array>
#include <cstdio>
#include <cstring>

#include "decode/names.h"
#include "protocols/ppp/ppp.h"

namespace caplib {
namespace {

// A data protocol and its control protocol (number + 0x8000) share a name.
constexpr std::array<Named, 34> kShared = {{
    {0x0001, "PADD"},  {0x0021, "IP"},     {0x0023, "OSI"},   {0x0025, "XEROX"},
    {0x0027, "DEC4"},  {0x0029, "APL"},    {0x002B, "IPX"},   {0x0031, "BRID"},
    {0x0033, "STREAM"}, {0x0035, "BANYAN"}, {0x0039, "APLDD"}, {0x003B, "APLSM"},
    {0x003D, "MP"},    {0x003F, "NBIOS"},  {0x0041, "CISCO"}, {0x0043, "ASCOM"},
    {0x0045, "LBLB"},  {0x0047, "DCA"},    {0x0049, "SDTP"},  {0x004B, "SNA2"},
    {0x004D, "SNA"},   {0x004F, "IP6c"},   {0x0053, "NE"},    {0x0055, "LE"},
    {0x006F, "STRBR"}, {0x0073, "MP+"},    {0x00FB, "LC"},    {0x00FD, "NC"},
    {0x0201, "HELO"},  {0x0203, "IBM"},    {0x0205, "DECL"},  {0x0207, "CDP"},
    {0x0231, "LUX"},   {0x0233, "SIGMA"},
}};

// Names of one number only.
constexpr std::array<Named, 17> kSingle = {{
    {0x002D, "VJIPc"}, {0x002F, "VJIPu"}, {0x0071, "oBA"},  {0x8077, "NSCP"},
    {0x8889, "SCP"},   {0xC021, "LCP"},   {0xC023, "PAP"},  {0xC025, "LQRP"},
    {0xC027, "SPAP"},  {0xC029, "CBCP"},  {0xC02B, "BACP"}, {0xC02D, "BAP"},
    {0xC089, "RECP"},  {0xC099, "CECP"},  {0xC223, "CHAP"}, {0xC225, "NCAP"},
    {0xC227, "EAP"},
}};

const char *base_name(uint16_t proto) {
    if (const char *name = name_of(kSingle, proto)) return name;
    if (const char *name = name_of(kShared, proto)) return name;
    return proto >= 0x8000 ? name_of(kShared, static_cast<uint16_t>(proto - 0x8000)) : nullptr;
}

// Network control protocols are named after what they configure.
constexpr bool is_control_range(uint16_t proto) { return proto >= 0x8000 && proto <= 0xC000; }

}  // namespace

ProtocolName ppp_protocol_name(uint16_t proto) {
    ProtocolName out{};
    const char *suffix = is_control_range(proto) ? "cp" : "";
    if (const char *base = base_name(proto)) {
        // Named protocols are the common case: no formatting needed.
        size_t n = std::strlen(base);
        std::memcpy(out.text, base, n);
        std::memcpy(out.text + n, suffix, std::strlen(suffix) + 1);
    } else {
        std::snprintf(out.text, sizeof out.text, "P:%2.2X%s", proto, suffix);
    }
    return out;
}

}  // namespace caplib
