// Helpers shared by the PPP tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "protocols/ppp/ppp.h"
#include "support.h"

namespace caplib_test {

// A control packet behind address/control and protocol fields, its length
// field counting the header and the data.
inline Frame control(uint16_t proto, uint8_t code, uint8_t id, const Frame &data) {
    size_t len = 4 + data.size();
    return cat({Frame{0xFF, 0x03, static_cast<uint8_t>(proto >> 8), static_cast<uint8_t>(proto),
                      code, id, static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len)},
                data});
}

// The text the control packet decoder prints in front of a code label.
inline std::string header_text(const char *name, size_t data_len, uint8_t id) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s %3.3zX#%2.2X:", name, data_len + 4, id);
    return buf;
}

// The grouped byte dump of bytes, as the decoder prints undecoded data.
inline std::string grouped(const Frame &bytes) {
    std::string out;
    char pair[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(pair, sizeof pair, "%2.2X", bytes[i]);
        out += pair;
        if ((i & 3) == 3) out += ' ';
    }
    return out;
}

// Names the instances of a case table after the cases' name fields.
struct CaseName {
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case> &info) const {
        return info.param.name;
    }
};

// A control packet of codes 1 to 4 and the text expected behind its label.
struct PacketCase {
    const char *name;
    uint16_t proto;
    uint8_t code;
    Frame data;
    std::string text;
};

inline void PrintTo(const PacketCase &c, std::ostream *os) { *os << c.name; }

// The whole line: name, header, label and the expected text.
inline std::string packet_line(const PacketCase &c) {
    static const char *const kLabels[] = {"", "ConfReq ", "ConfAck ", "ConfNak ", "ConfRej "};
    return header_text(caplib::ppp_protocol_name(c.proto).text, c.data.size(), 1) + kLabels[c.code] +
           c.text;
}

// Runs each case in chain mode (CAPLIB_decode, layer 0) and in column mode
// (CAPLIB_decode_ppp); the test lives in options_test.cpp, every protocol
// instantiates it with its own table.
class PppPackets : public ::testing::TestWithParam<PacketCase> {};

// The frame decoder run directly, to see its result and where it leaves the
// cursor. The frame is an exact-size heap copy so that sanitizers catch any
// read past it; the text buffer is guarded like the one of decode().
struct PppRun {
    std::string text;
    uint32_t next;
    uint32_t consumed;
};

inline PppRun run_ppp(const Frame &frame, bool columns, size_t room = 8192) {
    std::unique_ptr<uint8_t[]> data(new uint8_t[frame.size() ? frame.size() : 1]);
    if (!frame.empty()) std::memcpy(data.get(), frame.data(), frame.size());
    std::vector<char> buf(room + 16, 'Z');
    caplib::Text out(buf.data(), room);
    caplib::Cursor cur(caplib::Bytes(data.get(), static_cast<uint32_t>(frame.size())));
    uint32_t next = caplib::decode_ppp(cur, out, columns);
    for (size_t i = room; i < buf.size(); ++i)
        if (buf[i] != 'Z') {
            ADD_FAILURE() << "text written past room " << room;
            break;
        }
    return {std::string(out.view()), next, cur.offset()};
}

}  // namespace caplib_test
