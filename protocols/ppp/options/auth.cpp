// Authentication packets: PAP, CHAP, EAP and protocol 0xC225.
//
// Names and passwords are shown as captured, like any other field.
#include <array>

#include "protocols/ppp/ppp.h"

namespace caplib {
namespace {

constexpr size_t kPapField = 32;   // 31 bytes of peer id or password
constexpr size_t kName = 80;       // 79 bytes of names and messages
constexpr uint32_t kChapMaxValue = 47;
constexpr size_t kEapDataLimit = 24;

constexpr std::array<const char *, 7> kEapTypes = {nullptr, "Id", "Not", "Nak", "MD5", "OTP", "GTC"};

}  // namespace

size_t ppp_pap_request(Text &out, Bytes data, bool &handled) {
    if (!data.has(0, 2)) return 0;
    uint32_t id_len = data.u8(0);
    if (!data.has(1 + id_len)) return 0;
    uint32_t pw_len = data.u8(1 + id_len);
    if (!data.has(2 + id_len, pw_len)) return 0;

    std::array<char, kPapField> id, password;
    size_t mark = out.size();
    out.add("Name \"%s\" Password \"%s\"", copy_bounded(id, data.slice(1, id_len)),
            copy_bounded(password, data.slice(2 + id_len, pw_len)));
    handled = true;
    return out.size() - mark;
}

size_t ppp_auth_result(Text &out, bool failure, Bytes data, bool &handled) {
    std::array<char, kName> message;
    size_t mark = out.size();
    out.add("%s \"%s\"", failure ? "Failure" : "Success", copy_bounded(message, data));
    handled = true;
    return out.size() - mark;
}

size_t ppp_chap_value(Text &out, Bytes data, bool &handled) {
    uint32_t value_size = data.u8(0);
    uint32_t name_at = value_size + 1;
    if (value_size > kChapMaxValue || !data.has(0, name_at)) return 0;

    std::array<char, kName> name;
    size_t mark = out.size();
    out.add("Name %u:\"%s\"", value_size, copy_bounded(name, data.from(name_at)));
    handled = true;
    return out.size() - mark;
}

size_t ppp_eap_packet(Text &out, Bytes data, bool &handled) {
    if (data.empty()) return 0;
    uint8_t type = data.u8(0);
    size_t mark = out.size();
    if (type < kEapTypes.size() && kEapTypes[type]) {
        out.add("%s:\"%s\"", kEapTypes[type], make_printable(data.from(1), kEapDataLimit).text);
        handled = true;
    } else {
        out.add("(%2.2x) ", type);  // the dump behind it shows the packet
    }
    return out.size() - mark;
}

size_t ppp_ncap_request(Text &out, Bytes data, bool &handled) {
    // Name length and the number behind the name must both be captured.
    if (!data.has(0, 2)) return 0;
    uint32_t name_len = data.be16(0);
    if (!data.has(0, 4 + name_len)) return 0;

    std::array<char, kName> name;
    size_t mark = out.size();
    out.add("Name %u:\"%s\"", data.be16(2 + name_len), copy_bounded(name, data.slice(2, name_len)));
    handled = true;
    return out.size() - mark;
}

}  // namespace caplib
