// The column decoder cuts only what does not fit its room: a text that
// fits whole, its "..." included, is not cut a piece early.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "caplib.h"
#include "support.h"

using namespace caplib_test;

namespace {

std::string column(const Frame &f, uint32_t room) {
    std::vector<char> t(room);
    CAPLIB_decode_ppp(f.data(), static_cast<uint32_t>(f.size()), t.data(), room);
    return t.data();
}

TEST(PppColumnRoom, CutsOnlyWhatDoesNotFit) {
    const Frame osi = hex("0023 0102030405060708090A");
    const struct {
        uint32_t room;
        const char *text;
    } rows[] = {
        {11, "     OS..."},
        {12, "     OSI..."},
        {13, "     OSI ..."},
        {14, "     OSI ..."},
        {15, "     OSI ..."},
        {16, "     OSI ..."},
        {17, "     OSI 01..."},
        {8192, "     OSI 01020304 05060708 090A"},
    };
    for (const auto &r : rows) EXPECT_EQ(column(osi, r.room), r.text) << "room " << r.room;
    // A text that fits whole in its room keeps its last characters.
    const Frame lcp = hex("FF03 C021 0107000E 010405DC 05060A0B0C0D");
    const std::string whole = "     LCP 00E#07:ConfReq MRU(1500) MAGIC(0A0B0C0D) ";
    EXPECT_EQ(column(lcp, static_cast<uint32_t>(whole.size()) + 1), whole);
    EXPECT_EQ(column(lcp, static_cast<uint32_t>(whole.size())), "     LCP 00E#07:ConfReq MRU(1500) MAGIC(0A0B0C...");
}

}  // namespace
