// Options of the remaining control protocols: 0x8889, 0x8077, 0xC089 and
// the callback control protocol.
#include <array>

#include "protocols/ppp/ppp.h"

namespace caplib {
namespace {

constexpr size_t kName = 96;  // 95 bytes, raw
constexpr size_t kNumberLimit = 24;

constexpr std::array<OptionRule, 2> kScpRules = {{
    {1, 4, 4, nullptr, [](Text &t, Bytes p) { t.add("DISC(%d) ", p.be16(2)); }},
    {4, 3, 3, nullptr, [](Text &t, Bytes p) { t.add("FINAL(%d) ", p.u8(2)); }},
}};

constexpr std::array<OptionRule, 6> kNscpRules = {{
    {1, 4, 4, nullptr, [](Text &t, Bytes p) { t.add("DISC(%d) ", p.be16(2)); }},
    {2, 3, kAnyLength, nullptr,
     [](Text &t, Bytes p) {
         t.put("SPOOF(");
         put_hex(t, p.from(2), false, " ");
         t.put(") ");
     }},
    {3, 4, 4, nullptr, [](Text &t, Bytes p) { t.add("MAXS(%d) ", p.be16(2)); }},
    {4, 3, 3, nullptr, [](Text &t, Bytes p) { t.add("FINAL(%d) ", p.u8(2)); }},
    {5, 4, kAnyLength, nullptr,
     [](Text &t, Bytes p) {
         std::array<char, kName> number;
         t.add("CBNR(%d,%d:\"%s\") ", p.u8(2), p.u8(3), copy_bounded(number, p.from(4)));
     }},
    {7, 2, kAnyLength, nullptr,
     [](Text &t, Bytes p) {
         std::array<char, kName> name;
         t.add("CBNAME(\"%s\") ", copy_bounded(name, p.from(2)));
     }},
}};

constexpr std::array<OptionRule, 4> kRecpRules = {{
    {1, 3, 3, value_is<0>, [](Text &t, Bytes) { t.put("DIS "); }},
    {1, 3, 3, value_is<1>, [](Text &t, Bytes) { t.put("DISC "); }},
    {1, 3, 3, value_is<2>, [](Text &t, Bytes) { t.put("NEW "); }},
    {1, 3, 3, value_is<3>, [](Text &t, Bytes) { t.put("OPEN "); }},
}};

// The callback number ends in a zero byte, which is left out.
constexpr std::array<OptionRule, 5> kCbcpRules = {{
    {1, 2, kAnyLength, nullptr, [](Text &t, Bytes) { t.put("CB-NO "); }},
    {2, 5, kAnyLength, nullptr,
     [](Text &t, Bytes p) {
         t.add("CB-USER(%d:%s) ", p.u8(2), make_printable(p.slice(4, p.size() - 5), kNumberLimit).text);
     }},
    {2, 3, 4, nullptr, [](Text &t, Bytes p) { t.add("CB-USER(%d) ", p.u8(2)); }},
    {3, 3, kAnyLength, nullptr, [](Text &t, Bytes p) { t.add("CB-ADMIN(%d) ", p.u8(2)); }},
    {4, 2, kAnyLength, nullptr, [](Text &t, Bytes) { t.put("CB-LIST "); }},
}};

}  // namespace

size_t ppp_scp_options(Text &out, Bytes data, bool &handled) {
    return table_options(out, data, handled, kScpRules);
}

size_t ppp_nscp_options(Text &out, Bytes data, bool &handled) {
    return table_options(out, data, handled, kNscpRules);
}

size_t ppp_recp_options(Text &out, Bytes data, bool &handled) {
    return table_options(out, data, handled, kRecpRules);
}

size_t ppp_cbcp_options(Text &out, Bytes data, bool &handled) {
    return table_options(out, data, handled, kCbcpRules);
}

}  // namespace caplib
