// PPP frames in both entry points: multilink, hand-over, control packets
// and the option decoders of every control protocol.
#include <gtest/gtest.h>

#include "caplib.h"
#include "protocols/ppp/ppp.h"
#include "support.h"

using namespace caplib_test;

namespace {

constexpr uint32_t kPpp = 0;

// A control packet of protocol `proto` behind address and control, id 1,
// its length field counting header and data.
Frame cp(uint16_t proto, uint8_t code, const Frame &data) {
    size_t len = 4 + data.size();
    return cat({{0xFF, 0x03, static_cast<uint8_t>(proto >> 8), static_cast<uint8_t>(proto), code, 1,
                 static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len)},
                data});
}
Frame cp(uint16_t proto, uint8_t code, const char *data) { return cp(proto, code, hex(data)); }

constexpr uint16_t kLcp = 0xC021, kPap = 0xC023, kChap = 0xC223, kEap = 0xC227, kNcap = 0xC225, kIpcp = 0x8021,
                   kIpxcp = 0x802B, kAtcp = 0x8029, kCcp = 0x80FD, kEcp = 0x8053, kBacp = 0xC02B, kCecp = 0xC099;
const Frame kIp = hex("4500001C 00000000 40110000 0A000001 0A000002 0401 0035 0008 0000");

// Frames, control packets and the options of every control protocol.
const Rows kPppRows = samples({
    {"multilink end fragment", kPpp, hex("003D 40000103 AABBCCDDEE"), "ML <259]          AABBCCDD EE\n"},
    {"multilink plus", kPpp, hex("0073 80000001 AA"), "ML+ [1> MP+ AA\n"},
    {"multilink whole packet", kPpp, hex("003D C0000009 C021 09010008 01020304"), "ML [9] LCP 008#01:EchoReq 01020304 \n"},
    {"multilink header alone", kPpp, hex("003D C0000005"), "ML [5]  | ", 8192, " | "},
    {"multilink middle fragment", kPpp, hex("003D 00000008 C02101"), "ML <8>          C02101\n"},
    {"reserved bit means plus", kPpp, hex("003D 81000007 2145"), "ML+ [7> MP 2145\n"},
    {"IPv4 header too short", kBoth, hex("0021 4400"), "IP 4400\n"},
    {"IPX without checksum", kBoth, hex("002B FEFF"), "IPX FEFF\n"},
    {"protocol alone", kBoth, hex("0021"), ""},
    {"multilink header cut", kPpp, hex("003D 8000"), "MP 8000\n"},
    {"inner protocol cut", kPpp, hex("003D 80000005 00"), "ML [5> 00\n"},
    {"control protocol of one byte", kBoth, hex("80FF 01"), "P:80FFcp 01\n"},
    {"separator", kPpp, hex("FF03 C021 09020008 0A0B0C0D"), "LCP 008#02:EchoReq 0A0B0C0D <br>", 8192, "<br>"},
    {"null separator", kPpp, hex("FF03 C021 09020008 0A0B0C0D"), "LCP 008#02:EchoReq 0A0B0C0D \n", 8192, nullptr},
    {"IPX", kPpp, cat({hex("002B FFFF 001E 0004 00000001 FFFFFFFFFFFF 0452 00000001 0000C0112233 0452")}), "IPX 00000001:0000C0112233:SAP-->00000001:FFFFFFFFFFFF:SAP Type:IPX Hop:0\n"},
    {"multilink IPv4", kPpp, cat({hex("003D 80000102 21"), kIp}), "ML [258> \nIP 10.0.0.1 --> 10.0.0.2 Protocol=UDP\nPort 1025->53\n"},
    {"VJ compressed", kColumn, hex("002D 0102"), "     VJIPc 0102"},
    {"VJ uncompressed", kColumn, hex("002F 45"), "     VJIPu 45"},
    {"room 1", kColumn, hex("FF03 C021 0107000E 010405DC 05060A0B0C0D"), "", 1},
    {"room 7", kColumn, hex("FF03 C021 0107000E 010405DC 05060A0B0C0D"), "   ...", 7},
    {"room 8", kColumn, hex("FF03 C021 0107000E 010405DC 05060A0B0C0D"), "    ...", 8},
    // Only what does not fit is cut: "..." takes the last characters of the room.
    {"room 12", kColumn, hex("0023 0102030405060708090A"), "     OSI...", 12},
    {"room 13", kColumn, hex("0023 0102030405060708090A"), "     OSI ...", 13},
    {"room 16", kColumn, hex("0023 0102030405060708090A"), "     OSI ...", 16},
    {"room 17", kColumn, hex("0023 0102030405060708090A"), "     OSI 01...", 17},
    {"room of the whole text", kColumn, hex("FF03 C021 0107000E 010405DC 05060A0B0C0D"), "     LCP 00E#07:ConfReq MRU(1500) MAGIC(0A0B0C0D) ", 51},
    {"room one short", kColumn, hex("FF03 C021 0107000E 010405DC 05060A0B0C0D"), "     LCP 00E#07:ConfReq MRU(1500) MAGIC(0A0B0C...", 50},
    {"link quality report", kPpp, hex("C025 00000000 00000001 00000002 00000003 00000004 00000005 00000006 00000007 00000008 00000009 0000000A 0000000B FFFF"), "LQRP LastOut:1/2/3 PeerIn:4/5(6/7)8 PeerOut:9/10/11 \n"},
    {"link quality report of large numbers", kColumn, cat({hex("C025"), Frame(48, 0xFF)}), "     LQRP LastOut:4294967295/4294967295/4294967295 PeerIn:4294967295/4294967295(4294967295/4294967295)4294967295 PeerOut:4294967295/4294967295/4294967295 "},
    {"link quality report one byte short", kBoth, cat({hex("C025"), Frame(47, 0x11)}), "LQRP 11111111 11111111 11111111 11111111 11111111 11111111 11111111 11111111 11111111 11111111 11111111 111111\n"},
    // Options.
    {"LCP options", kBoth, cp(kLcp, 1, "0002 010405DC 010305 0206000A0000 02040001 0304C023 0305C02300 0304C225 030EC2250102030405060708090A 0305C22305 0305C22380 0305C22381 0305C22306 0304C223 0306C2230500 0304C227 0303C0 0408C02580000000 0408C02500000BB8 0404C025 05060A0B0C0D 0105 05DC00 0207 000A0000 00 0205 000100 0306C2238000 0306C2238100 0306C2230600 0305C22700 0507 0A0B0C0D 00"), "LCP 0A0#01:ConfReq RESERVED MRU(1500) 010305 MAP(000A0000) SPOOF(1) PAP AUTH(C023) NWCAP(02) NWCAP(0c) CHAP MSCHAP MSCHAPv2 CHAP(6) AUTH(C223) AUTH(C223) EAP 0303C0 LQRP(-2147483648) LQRP(3000) QUAL(C025) MAGIC(0A0B0C0D) 010505DC00 0207000A000000 0205000100 AUTH(C223) AUTH(C223) AUTH(C223) AUTH(C227) MAGIC(0A0B0C0D...) \n"},
    {"LCP options, the second", kBoth, cp(kLcp, 2, "050A0102030405060708 0702 070300 0802 090302 0A0307 0F02 110405F4 1202 16040002 17040003 1E040004 200600010002 200301 200302 200303 200304 2105686F73 210341 2202 6303AA 080300 09040200 0A040700 0F0300 1105 05F400 120300 1605 000200 1705 000300 1E05 000400 2007 0001000200 20040100 20040200 20040300 220300 0000 0101 05"), "LCP 08E#01:ConfAck MAGIC(01020304...) PFC 070300 ACFC FCS(2) PAD(7) CPFRM MRRU(1524) SSBHF MP+(2) BAP(3) NSCP(4) ASPOOF(1:2) PSCP(DISC) PSCP(NEW) PSCP(OPEN) 200304 DNAME(hos) DNAME(A) CECP 6303AA 080300 09040200 0A040700 0F0300 110505F400 120300 1605000200 1705000300 1E05000400 20070001000200 20040100 20040200 20040300 220300 00:0001:01\n"},
    {"LCP callback options", kBoth, cp(kLcp, 3, cat({hex("0D0300 0D0601313233 0D0301 0D0302 0D0303 0D0304 0D05024109 0D040380 0D040442 0D0306 0D0305 0D02 0D2001"), ascii("0123456789abcdefghijklmnopqrs")})), "LCP 04E#01:ConfNak CB-AUTH CB-DIAL(123) CB-DIAL() CB-ID() CB-E164() CB-NAME() CB-ID(A_) CB-E164(.) CB-NAME(B) CB-MS CB-5 0D02 CB-DIAL(0123456789abcdefghijklmn) \n"},
    {"LCP endpoint options", kBoth, cp(kLcp, 4, cat({hex("130300 13040000 1305014142 130702C0A80102 130802C0A8010203 130903001122334455 130A 03 001122334455 00 13040441 131605"), ascii("0123456789ABCDEFGHI"), hex("130306 130301 130304 130305")})), "LCP 058#01:ConfRej ED 13040000 ED-LAA(AB) ED-IP(C0A80102) 130802C0A8010203 ED-MAC(001122334455) 130A0300112233445500 ED-MAG(A) ED-PSND(0123456789ABCDE) ED-6 ED-LAA() ED-MAG() ED-PSND() \n"},
    {"LCP domain name cut", kBoth, cp(kLcp, 1, cat({hex("2182"), Frame(128, 'd')})), "LCP 086#01:ConfReq DNAME(dddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddd) \n"},
    {"LCP options given up after a cut", kColumn, cp(kLcp, 1, "010405DC 05060A0B0C0D 0702 0802 0702 0802 0910"), "     LCP 018#01:ConfReq 010405DC ...", 40},
    {"BACP", kBoth, cp(kBacp, 1, "0106 12345678 0106 0000000A 0104 0000 0203 01 0107 12345678 00"), "BACP 01E#01:ConfReq FAVORED(0x12345678) FAVORED(0xa) 01040000 020301 01071234567800 \n"},
    {"CECP request", kBoth, cp(kCecp, 1, "0106 12345678"), "CECP 00A#01:ConfReq FAVORED(0x12345678) \n"},
    {"IPCP", kBoth, cp(kIpcp, 1, "0306C0A80001 81060A000001 0106C0A80002 010AC0A80001C0A80002 0206002D0F01 0204002D 82060A000002 83060A000003 84060A000004 0107 C0A80002 00 0207 002D0F01 00 0307 C0A80001 00 8107 0A000001 00 8207 0A000002 00 8307 0A000003 00 8407 0A000004 00 C002 C00300 0300 0306C0A80001 03"), "IPcp 07B#01:ConfReq IP(192.168.0.1) DNSp(10.0.0.1) IPO(192.168.0.2) 010AC0A80001C0A80002 COMP(002D,0F01) 0204002D NBNSp(10.0.0.2) DNSs(10.0.0.3) NBNSs(10.0.0.4) 0107C0A8000200 0207002D0F0100 0307C0A8000100 81070A00000100 82070A00000200 83070A00000300 84070A00000400 NBS C00300 03:00IP(192.168.0.1) \n"},
    {"IPXCP", kBoth, cp(kIpxcp, 3, cat({hex("0106 0000002A 0208 00001B2C3D4E 0306 0002 0010 0404 0002 0507 726F757465 0502 0505 410042 0602 C002 C102 C202 C302 C402 C00300 0107 0000002A 00 0209 00001B2C3D4E 00 0307 0002 0010 00 0405 0002 00 0603 00 C103 00 C203 00 C303 00 C403 00 053E"), Frame(60, 'n')})), "IPXcp 0A2#01:ConfNak NET(0000002A) NODE(00001B2C3D4E) COMP(0002,0010) ROUTE(0002) NAME(\"route\") 0502 NAME(\"A\") COMPLETE SPX WTG NCP NDS LSP C00300 01070000002A00 020900001B2C3D4E00 03070002001000 0405000200 060300 C10300 C20300 C30300 C40300 NAME(\"nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn\") \n"},
    {"ATCP", kBoth, cp(kAtcp, 4, cat({hex("0106 00123456 0106 80123456 0204 0001 0304 0002 0404 0003 060D 0001 0002 0003 4142434445 0608 0001 0002 0003 0706 486F6D65 0806 0001 0002 0107 00123456 00 0205 000100 0305 000200 0405 000300 0807 0001 0002 00 0502 0778"), Frame(118, 'z')})), "APLcp 0D4#01:ConfRej ADR(00123456) ADR(80123456) ROUTE(0001) BROAD(0002) COMP(0003) SERVER(0001,00020003,\"ABCDE\") 0608000100020003 ZONE(\"Home\") ROUTER(00010002) 01070012345600 0205000100 0305000200 0405000300 08070001000200 0502 ZONE(\"zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz\") \n"},
    {"CCP", kBoth, cp(kCcp, 1, "1105 000103 1206 01000001 1A04 0F0F 0006 00000401 0004 1234 0102 0202 0302 1002 1302 1402 1503 0F 1100 0101"), "NCcp 030#01:ConfReq Stac(000103) Microsoft(01000001) 1a(0F0F) OUI(00000401) 00(1234) PREDICTOR1() PREDICTOR2() PuddleJmp() HP() Gandalf() V42bis() BSD(0F) 11() 01() \n"},
    {"link CCP", kBoth, cp(0x80FB, 1, "1105 000103"), "LCcp 009#01:ConfReq Stac(000103) \n"},
    {"ECP vendor options", kBoth, cp(kEcp, 1, "000C 000000 04 03 02 01 00 07 09 000C 000000 0B 03 02 01 00 07 09 000C 000000 FF 01 02 03 04 05 06 000C 000000 0A 01 02 03 04 05 06 0014 000000 04 03 02 01 00 07 09 0C0D0E0F 10111213 000D 000000 01 01 00 00 00 00 00 AB"), "NEcp 055#01:ConfReq ZEK(TWOFISH 3.2 1.0.7 (9)) ZEK(11 3.2 1.0.7 (9)) ZEK(DUMMY 1.2 3.4.5 (6)) ZEK(TWOFISH2048 1.2 3.4.5 (6)) ZEK(TWOFISH 3.2 1.0.7 (9) :0c0d0e0f 10111213) ZEK(IDEA 1.0 0.0.0 (0) :ab) \n"},
    {"ECP options", kBoth, cp(kEcp, 2, "0008 010203 04 0506 0006 01020304 0204 1234 0004 0012 0202 0203 12 0104 0000 0201"), "NEcp 025#01:ConfAck EVEND(010203:04 05 06) EVEND(010203:04) CRYPT($1234 12 34) CRYPT($12 00 12) CRYPT() CRYPT( 12) 01040000 02:01\n"},
    {"ECP past the end", kBoth, cp(kEcp, 1, "000C 000000 04"), "NEcp 00A#01:ConfReq 000C0000 0004\n"},
    {"link ECP", kBoth, cp(0x8055, 1, "000C 000000 04 03 02 01 00 07 09"), "LEcp 010#01:ConfReq ZEK(TWOFISH 3.2 1.0.7 (9)) \n"},
    {"SCP", kBoth, cp(0x8889, 1, "0104 003C 0403 01 0105 003C00 0404 0100"), "SCPcp 014#01:ConfReq DISC(60) FINAL(1) 0105003C00 04040100 \n"},
    {"NSCP", kBoth, cp(0x8077, 1, cat({hex("0205 0A0B0C 0203 FF 0702 0504 0102 0507 0102 313233 0706 4E616D65 0104 0005 0304 05DC 0403 02 0105 000500 0305 05DC00 0404 0200 077A"), Frame(120, 'c')})), "NSCPcp 0B2#01:ConfReq SPOOF(0a 0b 0c) SPOOF(ff) CBNAME(\"\") CBNR(1,2:\"\") CBNR(1,2:\"123\") CBNAME(\"Name\") DISC(5) MAXS(1500) FINAL(2) 0105000500 030505DC00 04040200 CBNAME(\"ccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccc\") \n"},
    {"RECP", kBoth, cp(0xC089, 1, "010300 010301 010302 010303 010304 0104 0000 01040100 01040200 01040300"), "RECP 023#01:ConfReq DIS DISC NEW OPEN 010304 01040000 01040100 01040200 01040300 \n"},
    {"CBCP", kBoth, cp(0xC029, 1, "020B 05 01 313233343536 00 0205 05 01 00 0203 05 0204 0601 0102 0101 0303 07 0402"), "CBCP 024#01:ConfReq CB-USER(5:123456) CB-USER(5:) CB-USER(5) CB-USER(6) CB-NO 01:01CB-ADMIN(7) CB-LIST \n"},
    {"vendor key cut", kPpp, cp(kEcp, 1, cat({hex("0040 000000 04 03 02 01 00 07 09"), Frame(52, 0xEE)})), "NEcp 044#01:ConfReq ZEK(TWOFISH 3.2 1.0.7 (9) :eeeeeeee eeeeeeeeeeeeeeee eeeeeeeeeeeeeeee eeeeeeeeeeeeeeee eeeeee...\n", 120},
    // Control packets.
    {"PAP request, empty", kBoth, cp(kPap, 1, "00 00"), "PAP 006#01:ConfReq Name \"\" Password \"\"\n"},
    {"PAP request, long name", kBoth, cp(kPap, 1, cat({hex("28"), Frame(40, 'a'), hex("00")})), "PAP 02E#01:ConfReq Name \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\" Password \"\"\n"},
    {"PAP password past the end", kBoth, cp(kPap, 1, "01 41 03 6162"), "PAP 009#01:ConfReq 01410361 62\n"},
    {"PAP name past the end", kBoth, cp(kPap, 1, "05 4142"), "PAP 007#01:ConfReq 054142\n"},
    {"PAP request of one byte", kBoth, cp(kPap, 1, "00"), "PAP 005#01:ConfReq 00\n"},
    {"PAP acknowledgement", kBoth, cp(kPap, 2, "01 48656C6C6F"), "PAP 00A#01:ConfAck Success \"Hello\"\n"},
    {"PAP acknowledgement, length byte alone", kBoth, cp(kPap, 2, "00"), "PAP 005#01:ConfAck Success \"\"\n"},
    {"PAP nak", kBoth, cp(kPap, 3, "04 4E6F7065"), "PAP 009#01:ConfNak Failure \"Nope\"\n"},
    {"CHAP challenge, name cut", kBoth, cp(kChap, 1, cat({hex("10 00112233445566778899AABBCCDDEEFF"), Frame(90, 'r')})), "CHAP 06F#01:ConfReq Name 16:\"" + std::string(79, 'r') + "\"\n"},
    {"CHAP largest value", kBoth, cp(kChap, 2, cat({hex("2F"), Frame(47, 1)})), "CHAP 034#01:ConfAck Name 47:\"\"\n"},
    {"CHAP value past the end", kBoth, cp(kChap, 2, "10 0102"), "CHAP 007#01:ConfAck 100102\n"},
    {"CHAP success", kBoth, cp(kChap, 3, ascii("Welcome")), "CHAP 00B#01:ConfNak Success \"Welcome\"\n"},
    {"CHAP failure", kBoth, cp(kChap, 4, "4E6F"), "CHAP 006#01:ConfRej Failure \"No\"\n"},
    {"EAP identity", kBoth, cp(kEap, 1, "01 41 09 80 20 42 7E 7F"), "EAP 00C#01:ConfReq Id:\"A_. B~.\"\n"},
    {"EAP identity, empty", kBoth, cp(kEap, 1, "01"), "EAP 005#01:ConfReq Id:\"\"\n"},
    {"EAP MD5", kBoth, cp(kEap, 2, "04 03 414243"), "EAP 009#01:ConfAck MD5:\".ABC\"\n"},
    {"EAP token card", kBoth, cp(kEap, 1, "06 47"), "EAP 006#01:ConfReq GTC:\"G\"\n"},
    {"EAP other type", kBoth, cp(kEap, 1, "07 0102"), "EAP 007#01:ConfReq (07) 070102\n"},
    {"NCAP empty name", kBoth, cp(kNcap, 1, "0000 0005"), "NCAP 008#01:ConfReq Name 5:\"\"\n"},
    {"NCAP request of one byte", kBoth, cp(kNcap, 1, "00"), "NCAP 005#01:ConfReq 00\n"},
    {"terminate acknowledgement without data", kBoth, cp(kLcp, 6, ""), "LCP 004#01:TermAck \n"},
    {"code reject of 16 bytes", kBoth, cp(kLcp, 7, "00010203 04050607 08090A0B 0C0D0E0F"), "LCP 014#01:CodeRej 000102030405060708090a0b0c0d0e0f \n"},
    {"code reject of 17 bytes", kBoth, cp(kLcp, 7, "00010203 04050607 08090A0B 0C0D0E0F FF"), "LCP 015#01:CodeRej 000102030405060708090a0b0c0d0e0f... \n"},
    {"code reject without data", kBoth, cp(kLcp, 7, ""), "LCP 004#01:CodeRej \n"},
    {"protocol reject of an unnamed protocol", kBoth, cp(kLcp, 8, "8123"), "LCP 006#01:ProtRej P:8123cp (8123) \n"},
    {"protocol reject of one byte", kBoth, cp(kLcp, 8, "80"), "LCP 005#01:ProtRej 80\n"},
    {"protocol reject without data", kBoth, cp(kLcp, 8, ""), "LCP 004#01:ProtRej \n"},
    {"echo reply", kBoth, cp(kLcp, 10, "0A0B0C0D 01"), "LCP 009#01:EchoRep 0A0B0C0D 01\n"},
    {"discard longer than the frame", kBoth, hex("C021 0B010020 0A0B0C0D 6869"), "LCP 020#01:DISCARD (0a0b0c0d) \"hi\"\n"},
    {"identification, empty", kBoth, cp(kLcp, 12, "0A0B0C0D"), "LCP 008#01:IDENT (0a0b0c0d) \"\"\n"},
    {"identification cut in its magic number", kBoth, hex("C021 0C01000A 0A0B"), "LCP 00A#01:IDENT 0A0B\n"},
    {"reset acknowledgement", kBoth, cp(kCcp, 15, ""), "NCcp 004#01:ResetAck \n"},
    {"code 16", kBoth, cp(kLcp, 16, ""), "LCP 004#01:Cmd: 10 \n"},
    {"length of four digits", kBoth, hex("C021 09011234"), "LCP 1234#01:EchoReq \n"},
    {"unknown control protocol", kBoth, cp(0x8223, 1, "0102"), "P:8223cp 006#01:ConfReq 0102\n"},
    {"hex data cut by the room", kPpp, cp(kLcp, 5, Frame(200, 0x5A)), "LCP 0CC#01:TermReq 5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a...\n", 150},
    {"CHAP failure without data", kBoth, cp(kChap, 4, ""), "CHAP 004#01:ConfRej Failure\n"},
    {"BAP call request", kBoth, hex("FF03 C02D 01050049 0105004001 0405686579 09044142 01040040 0105004002 0105004004 0105004008 0105004010 0105004020 0105004040 010500407E 0105004080"), "BAP Call-Request ID(5): SPEED(64) ISDN NOTE:\"hey\" 9:\"AB\" 1:\".@\" SPEED(64) X.25 SPEED(64) ANALOG SPEED(64) SWITCHED DIGITAL SPEED(64) ISDN DATA OVER VOICE SPEED(64) RESERVED($20) SPEED(64) RESERVED($40) SPEED(64) RESERVED($7e) SPEED(64) TYPE($80)\n"},
    {"BAP response without code", kBoth, hex("FF03 C02D 02070004"), "BAP Call-Response(BAD) ID(7):\n"},
    {"BAP callback request", kBoth, hex("FF03 C02D 0302001C 020B 010303 020635353531 0209 03044142 090300 0204 0102 0302 0202 0402"), "BAP Callback-Request ID(2): UNIQUE(3) PHONE:\"5551\" SUB:\"AB\" NoNumNeed NOTE:\"\"\n"},
    {"BAP callback response", kBoth, hex("FF03 C02D 04010005 01"), "BAP Callback-Response(NAK) ID(1):\n"},
    {"BAP link drop query", kBoth, hex("FF03 C02D 0504000B 05040102 050301"), "BAP LinkDropQuery-Request ID(4): LD(258) 5:\".\"\n"},
    {"BAP link drop query response", kBoth, hex("FF03 C02D 06010005 02"), "BAP LinkDropQuery-Response(REJ) ID(1):\n"},
    {"BAP call status", kBoth, hex("FF03 C02D 0703000F 06040001 06040500 060300"), "BAP CallStatus-Indication ID(3): Status(0x0) Retry Status(0x5) No retry 6:\".\"\n"},
    {"BAP call status response", kBoth, hex("FF03 C02D 08010005 03"), "BAP CallStatus-Response(FULL-NAK) ID(1):\n"},
    {"BAP illegal response code", kBoth, hex("FF03 C02D 02010005 04"), "BAP Call-Response(Illegal) ID(1):\n"},
    {"BAP type 9", kBoth, hex("FF03 C02D 09010004"), "BAP Unkown ID(1):\n"},
    {"BAP option of length 1", kBoth, hex("FF03 C02D 01050006 0701"), "BAP 01050006 0701\n"},
    {"BAP sub-option of length 1", kBoth, hex("FF03 C02D 03020009 0205 0101 00"), "BAP 03020009 02050101 00\n"},
    {"BAP option past the end", kBoth, hex("FF03 C02D 01050008 0105 0040"), "BAP Call-Request ID(5):\n"},
    {"BAP shorter than its header", kBoth, hex("FF03 C02D 010500"), "BAP 010500\n"},
});

TEST(Ppp, ExactTexts) { expect_rows(kPppRows); }

TEST(Ppp, ProtocolNames) {
    const std::pair<uint16_t, const char *> names[] = {
        {0x0005, "P:05"}, {0x00FF, "P:FF"}, {0x0123, "P:123"}, {0x7FFF, "P:7FFF"}, {0x8000, "P:8000cp"}, {0xC000, "P:C000cp"},
        {0xC001, "P:C001"}, {0xFFFF, "P:FFFF"}, {0x8021, "IPcp"}, {0x8073, "MP+cp"}, {0x8233, "SIGMAcp"}, {0x002D, "VJIPc"},
        {0x802D, "P:802Dcp"}, {0x8077, "NSCPcp"}, {0x0077, "P:77"}, {0xC227, "EAP"}};
    for (auto [proto, name] : names) EXPECT_STREQ(caplib::ppp_protocol_name(proto).text, name) << proto;
}

// A text the room cuts short is the whole text cut and marked "...". (The
// kept-frame sweep watches the room; this looks at the texts.)
TEST(Ppp, EveryRoomGivesPrefixAndMark) {
    auto column = [](const Frame &f, uint32_t room) {
        std::vector<char> t(room);
        CAPLIB_decode_ppp(f.data(), static_cast<uint32_t>(f.size()), t.data(), room);
        return std::string(t.data());
    };
    for (const Row &r : kPppRows) {
        if (r.entry != kBoth) continue;
        const std::string full = column(r.frame, 8192);
        for (uint32_t room = 8; room < full.size() + 8; ++room) {
            std::string t = column(r.frame, room);
            if (t == full) continue;
            ASSERT_GE(t.size(), 3u) << r.name << " room " << room;
            EXPECT_EQ(t.substr(t.size() - 3), "...") << r.name << " room " << room;
            EXPECT_EQ(full.substr(0, t.size() - 3), t.substr(0, t.size() - 3)) << r.name << " room " << room;
            EXPECT_LE(t.size(), room - 1) << r.name << " room " << room;
        }
    }
}

}  // namespace
