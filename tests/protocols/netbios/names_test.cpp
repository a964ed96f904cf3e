#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "netbios_support.h"
#include "protocols/netbios/netbios.h"

using namespace caplib_test;
using caplib::Bytes;
using caplib::nb_name;
using caplib::PROTO_NBNS;

namespace {

Bytes view(const Frame &f) { return Bytes(f.data(), static_cast<uint32_t>(f.size())); }

// Reads the name at pos; the consumed count and the text ("" when unreadable).
std::pair<uint32_t, std::string> read_name(const Frame &msg, uint32_t pos) {
    nb_name n;
    uint32_t used = caplib::nb_name_read(view(msg), pos, n);
    return {used, used ? caplib::nb_name_text(n) : ""};
}

struct NameCase {
    const char *name;
    Frame msg;
    uint32_t pos;
    uint32_t used;
    std::string text;
};

class NameRead : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameRead, ReadsAndShows) {
    const NameCase &c = GetParam();
    auto [used, text] = read_name(c.msg, c.pos);
    EXPECT_EQ(used, c.used);
    EXPECT_EQ(text, c.text);
}

const Frame kWorkgroup = nb_encode("WORKGROUP", 0x1D);
const std::string k63(63, 's');

INSTANTIATE_TEST_SUITE_P(
    Names, NameRead,
    ::testing::Values(
        NameCase{"Workgroup", kWorkgroup, 0, 34, "WORKGROUP(1d/Main-Browser)"},
        NameCase{"ServerSuffixFromBlank", cat({nb_label(ascii("FILESERVER      ")), Frame{0}}), 0, 34,
                 "FILESERVER(20/Server)"},
        NameCase{"InnerBlankStays", nb_encode("MY PC", 0x00), 0, 34, "MY PC(0/Workstation)"},
        NameCase{"FirstByteNeverCut", nb_encode("", 0x03), 0, 34, " (3/Messager)"},
        NameCase{"ByteE9InHex", nb_encode(std::string("\xE9") + "AB", 0x1C), 0, 34,
                 "\\xe9AB(1c/Domain)"},
        NameCase{"MonitorAgent", nb_encode("NM", 0xBE), 0, 34, "NM(be/Network-Monitor-Agent)"},
        NameCase{"UnknownSuffix", nb_encode("X", 0x42), 0, 34, "X(42/??" "?)"},
        NameCase{"ShortNameHasNoSuffix", cat({nb_label(ascii("AB")), Frame{0}}), 0, 6,
                 "AB(0/Workstation)"},
        NameCase{"Scope", nb_encode("PC1", 0x20, "corp.example"), 0, 47,
                 "PC1(20/Server).corp.example"},
        NameCase{"LongestScope", nb_encode("PC1", 0x00, k63), 0, 98,
                 "PC1(0/Workstation)." + k63},
        NameCase{"ScopeOverLimit", nb_encode("PC1", 0x00, k63.substr(0, 60) + ".abc"), 0, 0, ""},
        NameCase{"PointerInScope", cat({nb_label(nb_raw("PC1", 0)), hex("C000")}), 0, 0, ""},
        NameCase{"LetterQ", cat({Frame{2}, ascii("AQ"), Frame{0}}), 0, 0, ""},
        NameCase{"OddLabel", cat({Frame{3}, ascii("ABC"), Frame{0}}), 0, 0, ""},
        NameCase{"LabelLongerThanName", cat({nb_label(Frame(17, 'A')), Frame{0}}), 0, 0, ""},
        NameCase{"EmptyLabel", hex("0000"), 0, 0, ""},
        NameCase{"LabelTopBits", cat({Frame{0x42}, Frame(0x42, 'A'), Frame{0}}), 0, 0, ""},
        NameCase{"LabelPastMessage", head(kWorkgroup, kWorkgroup.size() - 1), 0, 0, ""},
        NameCase{"OneByteLeft", hex("20"), 0, 0, ""},
        NameCase{"PositionPastMessage", kWorkgroup, 40, 0, ""},
        NameCase{"Pointer", cat({kWorkgroup, hex("C000")}), 34, 2, "WORKGROUP(1d/Main-Browser)"},
        NameCase{"PointerToItself", hex("C000"), 0, 0, ""},
        NameCase{"PointerOutside", cat({kWorkgroup, hex("C0FF")}), 34, 0, ""},
        NameCase{"TenPointers",
                 cat({kWorkgroup, hex("C000 C022 C024 C026 C028 C02A C02C C02E C030 C032")}), 52, 2,
                 "WORKGROUP(1d/Main-Browser)"},
        NameCase{"ElevenPointers",
                 cat({kWorkgroup, hex("C000 C022 C024 C026 C028 C02A C02C C02E C030 C032 C034")}),
                 54, 0, ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(NameText, LongestTextFitsItsBuffer) {
    // Fifteen unprintable bytes, the longest service text and a full scope.
    Frame msg = cat({nb_label(cat({Frame(15, 0x01), Frame{0xBF}})), Frame{63}, ascii(k63), Frame{0}});
    std::string shown;
    for (int i = 0; i < 15; ++i) shown += "\\x01";
    EXPECT_EQ(read_name(msg, 0), std::make_pair(uint32_t{98}, shown + "(bf/Network-Monitor-Server)." + k63));
}

TEST(NameText, FourTextsLiveTogether) {
    nb_name a{}, b{}, c{}, d{};
    caplib::nb_name_read(view(nb_encode("A", 0)), 0, a);
    caplib::nb_name_read(view(nb_encode("B", 1)), 0, b);
    caplib::nb_name_read(view(nb_encode("C", 6)), 0, c);
    caplib::nb_name_read(view(nb_encode("D", 0x21)), 0, d);
    char line[200];
    std::snprintf(line, sizeof line, "%s %s %s %s", caplib::nb_name_text(a), caplib::nb_name_text(b),
                  caplib::nb_name_text(c), caplib::nb_name_text(d));
    EXPECT_STREQ(line, "A(0/Workstation) B(1/Register) C(6/RAS-Server) D(21/RAS-Client)");
}

TEST(NameText, EveryNamedSuffix) {
    const std::pair<uint8_t, const char *> kSuffixes[] = {
        {0x1B, "(1b/Domain-Main-Browser)"}, {0x1E, "(1e/Browserelection)"},
        {0x1F, "(1f/NetDDE)"},              {0xBF, "(bf/Network-Monitor-Server)"},
    };
    for (auto [suffix, text] : kSuffixes)
        EXPECT_EQ(read_name(nb_encode("N", suffix), 0).second, std::string("N") + text);
}

// A name service message: id 0x1234, flag bytes, the four counts, the body.
Frame nbns(uint8_t b2, uint8_t b3, uint16_t qd, uint16_t an, uint16_t ns, uint16_t ar,
           const Frame &body) {
    return cat({hex("1234"), Frame{b2, b3}, be16(qd), be16(an), be16(ns), be16(ar), body});
}

Frame question(std::string_view name, uint8_t suffix) {
    return cat({nb_encode(name, suffix), hex("0020 0001")});
}

Frame record(const Frame &name, uint16_t type, uint16_t cls, uint32_t ttl, const Frame &rdata) {
    return cat({name, be16(type), be16(cls), be32(ttl), be16(static_cast<uint16_t>(rdata.size())),
                rdata});
}

const Frame kQuery = nbns(0x01, 0x10, 1, 0, 0, 0, question("WORKGROUP", 0x1D));
const Frame kPositive =
    nbns(0x85, 0x80, 0, 1, 0, 0, record(nb_encode("PC1", 0x20), 32, 1, 300000, hex("6000 C0A80005")));
const Frame kRegistration =
    nbns(0x29, 0x10, 1, 1, 0, 1,
         cat({question("PC1", 0x00), record(hex("C00C"), 32, 1, 0, hex("0000 C0A80005")),
              record(hex("C00C"), 32, 1, 300000, hex("E000 C0A80006"))}));
const Frame kNodeStatus =
    nbns(0x84, 0x00, 0, 1, 0, 0,
         record(nb_encode("*", 0x00), 33, 1, 0,
                cat({Frame{2}, nb_encode("PC1", 0x20), hex("0400"), nb_encode("WORKGROUP", 0x00),
                     hex("8400")})));

[[maybe_unused]] const int kNameSamples = add_samples({
    {"nbns-query", 1, udp_frame(137, 137, kQuery)},
    {"nbns-positive", 1, udp_frame(137, 137, kPositive)},
    {"nbns-registration", 1, udp_frame(137, 137, kRegistration)},
    {"nbns-node-status", 1, udp_frame(137, 137, kNodeStatus)},
});

struct MessageCase {
    const char *name;
    Frame msg;
    std::string text;
};

class NameService : public ::testing::TestWithParam<MessageCase> {};

TEST_P(NameService, DecodesToExactText) {
    const MessageCase &c = GetParam();
    EXPECT_EQ(chain(PROTO_NBNS, c.msg), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Nbns, NameService,
    ::testing::Values(
        MessageCase{"BroadcastQuery", kQuery,
                    "NMB ID=4660 OP=Query(0) R=0 B=1 RA=0 RD=1 T=0 A=0 RC=0\n"
                    "  qdcount=1 ancount=0 nscount=0 arcount=0\n"
                    "  question: name=WORKGROUP(1d/Main-Browser) type=NB class=IN\n"},
        MessageCase{"PositiveResponse", kPositive,
                    "NMB ID=4660 OP=Query(0) R=1 B=0 RA=1 RD=1 T=0 A=1 RC=0\n"
                    "  qdcount=0 ancount=1 nscount=0 arcount=0\n"
                    "  answers: name=PC1(20/Server) type=NB class=IN ttl=300000 rdlen=6\n"
                    "           rdata: 0x60 192.168.0.5\n"},
        MessageCase{"RegistrationShowsFirstOfEachSection", kRegistration,
                    "NMB ID=4660 OP=Registration(5) R=0 B=1 RA=0 RD=1 T=0 A=0 RC=0\n"
                    "  qdcount=1 ancount=1 nscount=0 arcount=1\n"
                    "  question: name=PC1(0/Workstation) type=NB class=IN\n"
                    "  answers: name=PC1(0/Workstation) type=NB class=IN ttl=0 rdlen=6\n"
                    "           rdata: 0x0 192.168.0.5\n"
                    "  additional: name=PC1(0/Workstation) type=NB class=IN ttl=300000 rdlen=6\n"
                    "              rdata: 0xe0 192.168.0.6\n"},
        MessageCase{"AuthoritySection",
                    nbns(0x30, 0x00, 0, 0, 2, 0,
                         cat({record(nb_encode("A", 0), 2, 1, 0, {}),
                              record(nb_encode("B", 0), 2, 1, 0, {})})),
                    "NMB ID=4660 OP=Release(6) R=0 B=0 RA=0 RD=0 T=0 A=0 RC=0\n"
                    "  qdcount=0 ancount=0 nscount=2 arcount=0\n"
                    "  nsrecs: name=A(0/Workstation) type=NS class=IN ttl=0 rdlen=0\n"},
        MessageCase{"TwoAddressEntries",
                    nbns(0x80, 0x00, 0, 1, 0, 0,
                         record(nb_encode("G", 0x1C), 32, 1, 60, hex("8000 0A000001 8000 0A000002 FF"))),
                    "NMB ID=4660 OP=Query(0) R=1 B=0 RA=0 RD=0 T=0 A=0 RC=0\n"
                    "  qdcount=0 ancount=1 nscount=0 arcount=0\n"
                    "  answers: name=G(1c/Domain) type=NB class=IN ttl=60 rdlen=13\n"
                    "           rdata: 0x80 10.0.0.1\n"
                    "           rdata: 0x80 10.0.0.2\n"},
        MessageCase{"ShortAddressShowsNoData",
                    nbns(0x80, 0x00, 0, 1, 0, 0, record(nb_encode("G", 0), 32, 1, 0, hex("6000C0A800"))),
                    "NMB ID=4660 OP=Query(0) R=1 B=0 RA=0 RD=0 T=0 A=0 RC=0\n"
                    "  qdcount=0 ancount=1 nscount=0 arcount=0\n"
                    "  answers: name=G(0/Workstation) type=NB class=IN ttl=0 rdlen=5\n"},
        MessageCase{"OtherClassShowsNoData",
                    nbns(0x80, 0x00, 0, 1, 0, 0, record(nb_encode("G", 0), 32, 3, 0, hex("6000C0A80005"))),
                    "NMB ID=4660 OP=Query(0) R=1 B=0 RA=0 RD=0 T=0 A=0 RC=0\n"
                    "  qdcount=0 ancount=1 nscount=0 arcount=0\n"
                    "  answers: name=G(0/Workstation) type=NB class=3 ttl=0 rdlen=6\n"},
        MessageCase{"NodeStatus", kNodeStatus,
                    "NMB ID=4660 OP=Query(0) R=1 B=0 RA=0 RD=0 T=0 A=1 RC=0\n"
                    "  qdcount=0 ancount=1 nscount=0 arcount=0\n"
                    "  answers: name=*(0/Workstation) type=NBSTAT class=IN ttl=0 rdlen=73\n"
                    "         data: PC1(20/Server) 400\n"
                    "         data: WORKGROUP(0/Workstation) 8400\n"},
        // Node names as 16 raw bytes are no encoded names: none is shown.
        MessageCase{"NodeStatusRawNames",
                    nbns(0x84, 0x00, 0, 1, 0, 0,
                         record(nb_encode("*", 0x00), 33, 1, 0,
                                cat({Frame{1}, nb_raw("PC1", 0x20), hex("0400")}))),
                    "NMB ID=4660 OP=Query(0) R=1 B=0 RA=0 RD=0 T=0 A=1 RC=0\n"
                    "  qdcount=0 ancount=1 nscount=0 arcount=0\n"
                    "  answers: name=*(0/Workstation) type=NBSTAT class=IN ttl=0 rdlen=19\n"},
        MessageCase{"NumericTypeClassNegativeTtl",
                    nbns(0x80, 0x00, 1, 1, 0, 0,
                         cat({nb_encode("Q", 0), hex("0063 0007"),
                              record(hex("C00C"), 10, 255, 0xFFFFFFFF, {})})),
                    "NMB ID=4660 OP=Query(0) R=1 B=0 RA=0 RD=0 T=0 A=0 RC=0\n"
                    "  qdcount=1 ancount=1 nscount=0 arcount=0\n"
                    "  question: name=Q(0/Workstation) type=99 class=7\n"
                    "  answers: name=Q(0/Workstation) type=NULL class=255 ttl=-1 rdlen=0\n"},
        MessageCase{"OnlyAaSet", nbns(0x04, 0x00, 0, 0, 0, 0, {}),
                    "NMB ID=4660 OP=Query(0) R=0 B=0 RA=0 RD=0 T=0 A=1 RC=0\n"
                    "  qdcount=0 ancount=0 nscount=0 arcount=0\n"},
        MessageCase{"OnlyTcSet", nbns(0x02, 0x00, 0, 0, 0, 0, {}),
                    "NMB ID=4660 OP=Query(0) R=0 B=0 RA=0 RD=0 T=1 A=0 RC=0\n"
                    "  qdcount=0 ancount=0 nscount=0 arcount=0\n"},
        MessageCase{"Wack", nbns(0xB8, 0x00, 0, 0, 0, 0, {}),
                    "NMB ID=4660 OP=WACK(7) R=1 B=0 RA=0 RD=0 T=0 A=0 RC=0\n"
                    "  qdcount=0 ancount=0 nscount=0 arcount=0\n"},
        MessageCase{"Refresh", nbns(0x40, 0x00, 0, 0, 0, 0, {}),
                    "NMB ID=4660 OP=refresh(8) R=0 B=0 RA=0 RD=0 T=0 A=0 RC=0\n"
                    "  qdcount=0 ancount=0 nscount=0 arcount=0\n"},
        MessageCase{"UnknownOpcode", nbns(0x48, 0x00, 0, 0, 0, 0, {}),
                    "NMB ID=4660 OP=<unknown opcode>(9) R=0 B=0 RA=0 RD=0 T=0 A=0 RC=0\n"
                    "  qdcount=0 ancount=0 nscount=0 arcount=0\n"},
        MessageCase{"NameError", nbns(0x80, 0x03, 0, 0, 0, 0, {}),
                    "NMB ID=4660 OP=Query(0) R=1 B=0 RA=0 RD=0 T=0 A=0 name error\n"
                    "  qdcount=0 ancount=0 nscount=0 arcount=0\n"},
        MessageCase{"UnsupportedRequest", nbns(0x80, 0x04, 0, 0, 0, 0, {}),
                    "NMB ID=4660 OP=Query(0) R=1 B=0 RA=0 RD=0 T=0 A=0 unsupported requeust\n"
                    "  qdcount=0 ancount=0 nscount=0 arcount=0\n"},
        MessageCase{"NameConflict", nbns(0xA8, 0x07, 0, 0, 0, 0, {}),
                    "NMB ID=4660 OP=Registration(5) R=1 B=0 RA=0 RD=0 T=0 A=0 name conflict\n"
                    "  qdcount=0 ancount=0 nscount=0 arcount=0\n"},
        MessageCase{"UnnamedRcode", nbns(0x80, 0x09, 0, 0, 0, 0, {}),
                    "NMB ID=4660 OP=Query(0) R=1 B=0 RA=0 RD=0 T=0 A=0 RC=9\n"
                    "  qdcount=0 ancount=0 nscount=0 arcount=0\n"},
        // Only the first question is read, whatever the count says.
        MessageCase{"TwoQuestionsCounted", nbns(0x00, 0x00, 2, 0, 0, 0, question("ONE", 0x20)),
                    "NMB ID=4660 OP=Query(0) R=0 B=0 RA=0 RD=0 T=0 A=0 RC=0\n"
                    "  qdcount=2 ancount=0 nscount=0 arcount=0\n"
                    "  question: name=ONE(20/Server) type=NB class=IN\n"},
        MessageCase{"ElevenBytes", Frame(11, 0), ""},
        MessageCase{"LetterQInQuestion",
                    nbns(0x00, 0x00, 1, 0, 0, 0, cat({Frame{2}, ascii("QA"), Frame{0}, hex("00200001")})),
                    ""},
        MessageCase{"SecondAnswerBroken",
                    nbns(0x80, 0x00, 0, 2, 0, 0, cat({record(nb_encode("G", 0), 32, 1, 0, {}), hex("C0FF")})),
                    ""},
        MessageCase{"RdataOver576",
                    nbns(0x80, 0x00, 0, 1, 0, 0, record(nb_encode("G", 0), 32, 1, 0, Frame(577, 0))), ""},
        MessageCase{"MissingSection", nbns(0x80, 0x00, 0, 0, 0, 1, {}), ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(NameService, EveryTruncationShowsNothing) {
    for (const Frame &m : {kQuery, kPositive, kRegistration, kNodeStatus})
        for (size_t n = 0; n < m.size(); ++n)
            EXPECT_EQ(chain(PROTO_NBNS, head(m, n)), "") << n;
}

TEST(NameService, SeparatorEndsEveryLine) {
    EXPECT_EQ(chain(PROTO_NBNS, kPositive, 8192, "\r\n"),
              "NMB ID=4660 OP=Query(0) R=1 B=0 RA=1 RD=1 T=0 A=1 RC=0\r\n"
              "  qdcount=0 ancount=1 nscount=0 arcount=0\r\n"
              "  answers: name=PC1(20/Server) type=NB class=IN ttl=300000 rdlen=6\r\n"
              "           rdata: 0x60 192.168.0.5\r\n");
}

TEST(NameService, AddressLineNeedsRoomForItsWidestForm) {
    // Header, question-free answer line: 178 characters; the data line is
    // skipped unless 1 + 2 * 9 + 26 = 45 bytes are left.
    std::string full = chain(PROTO_NBNS, kPositive);
    size_t before_data = full.find("           rdata");
    for (uint32_t room : {static_cast<uint32_t>(before_data + 44), static_cast<uint32_t>(before_data + 45)}) {
        std::string t = chain(PROTO_NBNS, kPositive, room);
        EXPECT_EQ(t, room == before_data + 44 ? full.substr(0, before_data) : full) << room;
    }
}

}  // namespace
