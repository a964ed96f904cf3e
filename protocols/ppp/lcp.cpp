// LCP configuration options.
#include <array>

#include "protocols/ppp/ppp.h"

namespace caplib {
namespace {

// Conditions on the option bytes beyond type and length.
template <uint16_t Protocol>
bool protocol_is(Bytes p) {
    return p.be16(2) == Protocol;
}
template <uint8_t Algorithm>
bool chap_with(Bytes p) {
    return p.be16(2) == 0xC223 && p.u8(4) == Algorithm;
}

constexpr uint8_t kAny = kAnyLength;

// Type 3 names the authentication protocol, type 4 the quality protocol,
// type 13 the callback operation and type 19 the endpoint class.
constexpr std::array<OptionRule, 46> kLcpRules = {{
    {0, 2, kAny, nullptr, [](Text &t, Bytes) { t.put("RESERVED "); }},
    {1, 4, 4, nullptr, [](Text &t, Bytes p) { t.add("MRU(%d) ", p.be16(2)); }},
    {2, 6, 6, nullptr, [](Text &t, Bytes p) { t.add("MAP(%8.8X) ", p.be32(2)); }},
    {2, 4, 4, nullptr, [](Text &t, Bytes p) { t.add("SPOOF(%d) ", p.be16(2)); }},
    {3, 4, 4, protocol_is<0xC023>, [](Text &t, Bytes) { t.put("PAP "); }},
    {3, 4, kAny, protocol_is<0xC225>, [](Text &t, Bytes p) { t.add("NWCAP(%2.2x) ", p.u8(1) - 2); }},
    {3, 5, 5, chap_with<0x05>, [](Text &t, Bytes) { t.put("CHAP "); }},
    {3, 5, 5, chap_with<0x80>, [](Text &t, Bytes) { t.put("MSCHAP "); }},
    {3, 5, 5, chap_with<0x81>, [](Text &t, Bytes) { t.put("MSCHAPv2 "); }},
    {3, 5, 5, protocol_is<0xC223>, [](Text &t, Bytes p) { t.add("CHAP(%d) ", p.u8(4)); }},
    {3, 4, 4, protocol_is<0xC227>, [](Text &t, Bytes) { t.put("EAP "); }},
    {3, 4, kAny, nullptr, [](Text &t, Bytes p) { t.add("AUTH(%4.4X) ", p.be16(2)); }},
    {4, 8, kAny, protocol_is<0xC025>,
     [](Text &t, Bytes p) { t.add("LQRP(%d) ", static_cast<int32_t>(p.be32(4))); }},
    {4, 4, kAny, nullptr, [](Text &t, Bytes p) { t.add("QUAL(%4.4X) ", p.be16(2)); }},
    {5, 6, 6, nullptr, [](Text &t, Bytes p) { t.add("MAGIC(%8.8X) ", p.be32(2)); }},
    {5, 7, kAny, nullptr, [](Text &t, Bytes p) { t.add("MAGIC(%8.8X...) ", p.be32(2)); }},
    {7, 2, 2, nullptr, [](Text &t, Bytes) { t.put("PFC "); }},
    {8, 2, 2, nullptr, [](Text &t, Bytes) { t.put("ACFC "); }},
    {9, 3, 3, nullptr, [](Text &t, Bytes p) { t.add("FCS(%d) ", p.u8(2)); }},
    {10, 3, 3, nullptr, [](Text &t, Bytes p) { t.add("PAD(%d) ", p.u8(2)); }},
    {13, 3, kAny, value_is<0>, [](Text &t, Bytes) { t.put("CB-AUTH "); }},
    {13, 3, kAny, value_is<1>,
     [](Text &t, Bytes p) { t.add("CB-DIAL(%s) ", make_printable(p.from(3), 24).text); }},
    {13, 3, kAny, value_is<2>,
     [](Text &t, Bytes p) { t.add("CB-ID(%s) ", make_printable(p.from(3), 24).text); }},
    {13, 3, kAny, value_is<3>,
     [](Text &t, Bytes p) { t.add("CB-E164(%s) ", make_printable(p.from(3), 24).text); }},
    {13, 3, kAny, value_is<4>,
     [](Text &t, Bytes p) { t.add("CB-NAME(%s) ", make_printable(p.from(3), 24).text); }},
    {13, 3, kAny, value_is<6>, [](Text &t, Bytes) { t.put("CB-MS "); }},
    {13, 3, kAny, nullptr, [](Text &t, Bytes p) { t.add("CB-%d ", p.u8(2)); }},
    {15, 2, 2, nullptr, [](Text &t, Bytes) { t.put("CPFRM "); }},
    {17, 4, 4, nullptr, [](Text &t, Bytes p) { t.add("MRRU(%d) ", p.be16(2)); }},
    {18, 2, 2, nullptr, [](Text &t, Bytes) { t.put("SSBHF "); }},
    {19, 3, 3, value_is<0>, [](Text &t, Bytes) { t.put("ED "); }},
    {19, 3, kAny, value_is<1>,
     [](Text &t, Bytes p) { t.add("ED-LAA(%s) ", make_printable(p.from(3), 20).text); }},
    {19, 7, 7, value_is<2>, [](Text &t, Bytes p) { t.add("ED-IP(%8.8X) ", p.be32(3)); }},
    {19, 9, 9, value_is<3>,
     [](Text &t, Bytes p) { t.add("ED-MAC(%6.6X%6.6X) ", p.be24(3), p.be24(6)); }},
    {19, 3, kAny, value_is<4>,
     [](Text &t, Bytes p) { t.add("ED-MAG(%s) ", make_printable(p.from(3), 20).text); }},
    {19, 3, kAny, value_is<5>,
     [](Text &t, Bytes p) { t.add("ED-PSND(%s) ", make_printable(p.from(3), 15).text); }},
    {19, 3, kAny, [](Bytes p) { return p.u8(2) > 5; },
     [](Text &t, Bytes p) { t.add("ED-%d ", p.u8(2)); }},
    {22, 4, 4, nullptr, [](Text &t, Bytes p) { t.add("MP+(%d) ", p.be16(2)); }},
    {23, 4, 4, nullptr, [](Text &t, Bytes p) { t.add("BAP(%d) ", p.be16(2)); }},
    {30, 4, 4, nullptr, [](Text &t, Bytes p) { t.add("NSCP(%d) ", p.be16(2)); }},
    {32, 6, 6, nullptr, [](Text &t, Bytes p) { t.add("ASPOOF(%d:%d) ", p.be16(2), p.be16(4)); }},
    {32, 3, 3, value_is<1>, [](Text &t, Bytes) { t.put("PSCP(DISC) "); }},
    {32, 3, 3, value_is<2>, [](Text &t, Bytes) { t.put("PSCP(NEW) "); }},
    {32, 3, 3, value_is<3>, [](Text &t, Bytes) { t.put("PSCP(OPEN) "); }},
    {33, 3, kAny, nullptr,
     [](Text &t, Bytes p) { t.add("DNAME(%s) ", make_printable(p.from(2), 253).text); }},
    {34, 2, 2, nullptr, [](Text &t, Bytes) { t.put("CECP "); }},
}};

}  // namespace

size_t ppp_lcp_options(Text &out, Bytes data, bool &handled) {
    return table_options(out, data, handled, kLcpRules);
}

}  // namespace caplib
