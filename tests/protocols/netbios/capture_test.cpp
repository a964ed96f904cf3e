// Frames of a real capture of browser and name service traffic
// (netbios-browse.pcap, frames 1, 3, 7, 82, 4 and 45), placed here as bytes.
#include <gtest/gtest.h>

#include "netbios_support.h"

using namespace caplib_test;

namespace {

struct Case {
    const char *name;
    const char *bytes;
    std::string text;
};

// Behind a datagram the SMB size shows the end of the destination name
// ('A', 'A', 'A', 0 gives 82176) in place of a session header.
const Case kCases[] = {
    Case{"AnnouncementRequest",
         "ffffffffffff00042357a57a0800450000cf3887000080117c4ec0a801f9c0a801ff008a008a00bb53ec110e891dc0a8"
         "01f9008a00a50000204545454b4641444a444646444441454b4341434143414341434143414341414100204542464345"
         "434546454a4645464445484643464646414641454643414341414100ff534d4225000000000000000000000000000000"
         "0000000000000000000000001100000b000000000000000000e80300000000000000000b00560003000100010002001c"
         "005c4d41494c534c4f545c42524f575345000200444a50393553304a00",
         "Ethernet II 00042357A57A -> FFFFFFFFFFFF Type=0x0800\n"
         "IP 192.168.1.249 --> 192.168.1.255 Protocol=UDP\n"
         "Port 138->138\n"
         "DGRAM msg_type=direct-group NBDD F=1 M=0 dgmid=35101\n"
         "  src=192.168.1.249:138 len=165 off=0\n"
         "  src=DJP95S0J(0/Workstation) dest=ARBEITSGRUPPE(0/Workstation) dsize=97\n"
         "SMB-request \"trans\"\n"
         "   size=82176 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n"
         "   tid=0 pid=0 uid=0 mid=0 wct=17\n"
         " [00]=    0/0x0000 [01]=   11/0x000B [02]=    0/0x0000 [03]=    0/0x0000 [04]=    0/0x0000 [05]=    0/0x0000\n"
         " [06]= 1000/0x03E8 [07]=    0/0x0000 [08]=    0/0x0000 [09]=    0/0x0000 [10]=    0/0x0000\n"
         " [11]=   11/0x000B [12]=   86/0x0056 [13]=    3/0x0003 [14]=    1/0x0001 [15]=    1/0x0001\n"
         " [16]=    2/0x0002\n"
         "BROWSE Anncouncement request from \"DJP95S0J(0/Workstation)\" token=0x0\n"},
    Case{"DomainAnnouncement",
         "ffffffffffff00042357a57a0800450000ed3889000080117c2ec0a801f9c0a801ff008a008a00d943de110e891fc0a8"
         "01f9008a00c30000204545454b4641444a444646444441454b4341434143414341434143414341414100204142414346"
         "504650454e4644454346434550464846444546465046504143414200ff534d4225000000000000000000000000000000"
         "00000000000000000000000011000029000000000000000000e80300000000000000002900560003000100010002003a"
         "005c4d41494c534c4f545c42524f575345000c0060ea000041524245495453475255505045000100030a001000804cfe"
         "0403444a50393553304a00",
         "Ethernet II 00042357A57A -> FFFFFFFFFFFF Type=0x0800\n"
         "IP 192.168.1.249 --> 192.168.1.255 Protocol=UDP\n"
         "Port 138->138\n"
         "DGRAM msg_type=direct-group NBDD F=1 M=0 dgmid=35103\n"
         "  src=192.168.1.249:138 len=195 off=0\n"
         "  src=DJP95S0J(0/Workstation) dest=\\x01\\x02__MSBROWSE__\\x02(1/Register) dsize=127\n"
         "SMB-request \"trans\"\n"
         "   size=82432 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n"
         "   tid=0 pid=0 uid=0 mid=0 wct=17\n"
         " [00]=    0/0x0000 [01]=   41/0x0029 [02]=    0/0x0000 [03]=    0/0x0000 [04]=    0/0x0000 [05]=    0/0x0000\n"
         " [06]= 1000/0x03E8 [07]=    0/0x0000 [08]=    0/0x0000 [09]=    0/0x0000 [10]=    0/0x0000\n"
         " [11]=   41/0x0029 [12]=   86/0x0056 [13]=    3/0x0003 [14]=    1/0x0001 [15]=    1/0x0001\n"
         " [16]=    2/0x0002\n"
         "BROWSE Anncounce(12) ARBEITSGRUPPE(0/Workstation) count=0 ttl=60 OS=(3,10) stype=0x80001000 sig=0x4c 0x4 comment=DJP95S0J\n"},
    Case{"LocalMasterAnnouncement",
         "ffffffffffff00042357a57a0800450000e5388f000080117c30c0a801f9c0a801ff008a008a00d1e7a6110e8922c0a8"
         "01f9008a00bb0000204545454b4641444a444646444441454b4341434143414341434143414341434100204542464345"
         "434546454a4645464445484643464646414641454643414341424f00ff534d4225000000000000000000000000000000"
         "00000000000000000000000011000021000000000000000000e803000000000000000021005600030001000000020032"
         "005c4d41494c534c4f545c42524f575345000f0080fc0a00444a50393553304a000072006f0073000501031005000f01"
         "55aa00",
         "Ethernet II 00042357A57A -> FFFFFFFFFFFF Type=0x0800\n"
         "IP 192.168.1.249 --> 192.168.1.255 Protocol=UDP\n"
         "Port 138->138\n"
         "DGRAM msg_type=direct-group NBDD F=1 M=0 dgmid=35106\n"
         "  src=192.168.1.249:138 len=187 off=0\n"
         "  src=DJP95S0J(20/Server) dest=ARBEITSGRUPPE(1e/Browserelection) dsize=119\n"
         "SMB-request \"trans\"\n"
         "   size=20224 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n"
         "   tid=0 pid=0 uid=0 mid=0 wct=17\n"
         " [00]=    0/0x0000 [01]=   33/0x0021 [02]=    0/0x0000 [03]=    0/0x0000 [04]=    0/0x0000 [05]=    0/0x0000\n"
         " [06]= 1000/0x03E8 [07]=    0/0x0000 [08]=    0/0x0000 [09]=    0/0x0000 [10]=    0/0x0000\n"
         " [11]=   33/0x0021 [12]=   86/0x0056 [13]=    3/0x0003 [14]=    1/0x0001 [15]=    0/0x0000\n"
         " [16]=    2/0x0002\n"
         "BROWSE Anncounce(15) DJP95S0J(0/Workstation) count=0 ttl=720 OS=(5,1) stype=0x51003 sig=0xf 0x55 comment=\n"},
    Case{"Election",
         "ffffffffffff00042357a57a0800450000db38ea000080116969a9fe43c2a9feffff008a008a00c76e0b110e8939a9fe"
         "43c2008a00b10000204545454b4641444a444646444441454b4341434143414341434143414341414100204542464345"
         "434546454a4645464445484643464646414641454643414341424f00ff534d4225000000000000000000000000000000"
         "00000000000000000000000011000017000000000000000000e803000000000000000017005600030001000100020028"
         "005c4d41494c534c4f545c42524f575345000801200f011059b1191500000000444a50393553304a00",
         "Ethernet II 00042357A57A -> FFFFFFFFFFFF Type=0x0800\n"
         "IP 169.254.67.194 --> 169.254.255.255 Protocol=UDP\n"
         "Port 138->138\n"
         "DGRAM msg_type=direct-group NBDD F=1 M=0 dgmid=35129\n"
         "  src=169.254.67.194:138 len=177 off=0\n"
         "  src=DJP95S0J(0/Workstation) dest=ARBEITSGRUPPE(1e/Browserelection) dsize=109\n"
         "SMB-request \"trans\"\n"
         "   size=20224 cls=0 reh=0 err=0 flg=0x0 flg2=0x0\n"
         "   tid=0 pid=0 uid=0 mid=0 wct=17\n"
         " [00]=    0/0x0000 [01]=   23/0x0017 [02]=    0/0x0000 [03]=    0/0x0000 [04]=    0/0x0000 [05]=    0/0x0000\n"
         " [06]= 1000/0x03E8 [07]=    0/0x0000 [08]=    0/0x0000 [09]=    0/0x0000 [10]=    0/0x0000\n"
         " [11]=   23/0x0017 [12]=   86/0x0056 [13]=    3/0x0003 [14]=    1/0x0001 [15]=    1/0x0001\n"
         " [16]=    2/0x0002\n"
         "BROWSE election request from \"DJP95S0J(0/Workstation)\" vers=1 criterion=10010f20 timeup=354005\n"},
    Case{"NameQuery",
         "ffffffffffff00042357a57a08004500004e388a000080117cccc0a801f9c0a801ff00890089003a8277892101100001"
         "000000000000204542464345434546454a4645464445484643464646414641454643414341424c0000200001",
         "Ethernet II 00042357A57A -> FFFFFFFFFFFF Type=0x0800\n"
         "IP 192.168.1.249 --> 192.168.1.255 Protocol=UDP\n"
         "Port 137->137\n"
         "NMB ID=35105 OP=Query(0) R=0 B=1 RA=0 RD=1 T=0 A=0 RC=0\n"
         "  qdcount=1 ancount=0 nscount=0 arcount=0\n"
         "  question: name=ARBEITSGRUPPE(1b/Domain-Main-Browser) type=NB class=IN\n"},
    Case{"Registration",
         "ffffffffffff00042357a57a08004500006038c2000080116a0ca9fe43c2a9feffff00890089004cb508892e29100001"
         "000000000001204545454b4641444a444646444441454b434143414341434143414341434141410000200001c00c0020"
         "0001000493e000066000a9fe43c2",
         "Ethernet II 00042357A57A -> FFFFFFFFFFFF Type=0x0800\n"
         "IP 169.254.67.194 --> 169.254.255.255 Protocol=UDP\n"
         "Port 137->137\n"
         "NMB ID=35118 OP=Registration(5) R=0 B=1 RA=0 RD=1 T=0 A=0 RC=0\n"
         "  qdcount=1 ancount=0 nscount=0 arcount=1\n"
         "  question: name=DJP95S0J(0/Workstation) type=NB class=IN\n"
         "  additional: name=DJP95S0J(0/Workstation) type=NB class=IN ttl=300000 rdlen=6\n"
         "              rdata: 0x60 169.254.67.194\n"},
};

class RealCapture : public ::testing::TestWithParam<Case> {};

TEST_P(RealCapture, DecodesToExactText) {
    const Case &c = GetParam();
    EXPECT_EQ(decode(1, hex(c.bytes)), c.text);
}

INSTANTIATE_TEST_SUITE_P(NetbiosBrowse, RealCapture, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });

[[maybe_unused]] const int kRealSamples = [] {
    std::vector<SampleFrame> frames;
    for (const Case &c : kCases) frames.push_back({std::string("netbios-browse-") + c.name, 1, hex(c.bytes)});
    return add_samples(std::move(frames));
}();

}  // namespace
