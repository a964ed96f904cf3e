// IPXCP and ATCP options.
#include <array>

#include "protocols/ppp/ppp.h"

namespace caplib {
namespace {

constexpr size_t kIpxName = 48;     // 47 bytes, raw
constexpr size_t kAppleName = 96;   // 95 bytes, raw

void word(Text &t, const char *label, Bytes p) { t.add("%s(%4.4X) ", label, p.be16(2)); }

constexpr std::array<OptionRule, 11> kIpxcpRules = {{
    {0x01, 6, 6, nullptr, [](Text &t, Bytes p) { t.add("NET(%4.4X%4.4X) ", p.be16(2), p.be16(4)); }},
    {0x02, 8, 8, nullptr, [](Text &t, Bytes p) { t.add("NODE(%6.6X%6.6X) ", p.be24(2), p.be24(5)); }},
    {0x03, 6, 6, nullptr, [](Text &t, Bytes p) { t.add("COMP(%4.4X,%4.4X) ", p.be16(2), p.be16(4)); }},
    {0x04, 4, 4, nullptr, [](Text &t, Bytes p) { word(t, "ROUTE", p); }},
    {0x05, 3, kAnyLength, nullptr,
     [](Text &t, Bytes p) {
         std::array<char, kIpxName> name;
         t.add("NAME(\"%s\") ", copy_bounded(name, p.from(2)));
     }},
    {0x06, 2, 2, nullptr, [](Text &t, Bytes) { t.put("COMPLETE "); }},
    {0xC0, 2, 2, nullptr, [](Text &t, Bytes) { t.put("SPX "); }},
    {0xC1, 2, 2, nullptr, [](Text &t, Bytes) { t.put("WTG "); }},
    {0xC2, 2, 2, nullptr, [](Text &t, Bytes) { t.put("NCP "); }},
    {0xC3, 2, 2, nullptr, [](Text &t, Bytes) { t.put("NDS "); }},
    {0xC4, 2, 2, nullptr, [](Text &t, Bytes) { t.put("LSP "); }},
}};

constexpr std::array<OptionRule, 7> kAtcpRules = {{
    {1, 6, 6, nullptr, [](Text &t, Bytes p) { t.add("ADR(%8.8X) ", p.be32(2)); }},
    {2, 4, 4, nullptr, [](Text &t, Bytes p) { word(t, "ROUTE", p); }},
    {3, 4, 4, nullptr, [](Text &t, Bytes p) { word(t, "BROAD", p); }},
    {4, 4, 4, nullptr, [](Text &t, Bytes p) { word(t, "COMP", p); }},
    {6, 9, kAnyLength, nullptr,
     [](Text &t, Bytes p) {
         std::array<char, kAppleName> name;
         t.add("SERVER(%4.4X,%4.4X%4.4X,\"%s\") ", p.be16(2), p.be16(4), p.be16(6),
               copy_bounded(name, p.from(8)));
     }},
    {7, 3, kAnyLength, nullptr,
     [](Text &t, Bytes p) {
         std::array<char, kAppleName> name;
         t.add("ZONE(\"%s\") ", copy_bounded(name, p.from(2)));
     }},
    {8, 6, 6, nullptr, [](Text &t, Bytes p) { t.add("ROUTER(%4.4X%4.4X) ", p.be16(2), p.be16(4)); }},
}};

}  // namespace

size_t ppp_ipxcp_options(Text &out, Bytes data, bool &handled) {
    return table_options(out, data, handled, kIpxcpRules);
}

size_t ppp_atcp_options(Text &out, Bytes data, bool &handled) {
    return table_options(out, data, handled, kAtcpRules);
}

}  // namespace caplib
