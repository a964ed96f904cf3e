// IPCP options.
#include <array>

#include "decode/dotted.h"
#include "protocols/ppp/ppp.h"

namespace caplib {
namespace {

// "%s(%d.%d.%d.%d) ": the most frequent option text, written without
// formatting.
void address(Text &t, const char *label, Bytes p) {
    Line<32> line;
    line.str(label).chr('(').str(dotted(p, 2).view()).str(") ");
    t.put(line.view());
}

constexpr std::array<OptionRule, 8> kIpcpRules = {{
    {0x01, 6, 6, nullptr, [](Text &t, Bytes p) { address(t, "IPO", p); }},
    {0x02, 6, 6, nullptr, [](Text &t, Bytes p) { t.add("COMP(%4.4X,%4.4X) ", p.be16(2), p.be16(4)); }},
    {0x03, 6, 6, nullptr, [](Text &t, Bytes p) { address(t, "IP", p); }},
    {0x81, 6, 6, nullptr, [](Text &t, Bytes p) { address(t, "DNSp", p); }},
    {0x82, 6, 6, nullptr, [](Text &t, Bytes p) { address(t, "NBNSp", p); }},
    {0x83, 6, 6, nullptr, [](Text &t, Bytes p) { address(t, "DNSs", p); }},
    {0x84, 6, 6, nullptr, [](Text &t, Bytes p) { address(t, "NBNSs", p); }},
    {0xC0, 2, 2, nullptr, [](Text &t, Bytes) { t.put("NBS "); }},
}};

}  // namespace

size_t ppp_ipcp_options(Text &out, Bytes data, bool &handled) {
    return table_options(out, data, handled, kIpcpRules);
}

}  // namespace caplib
