// Frame builders for the NetBIOS and SMB tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "decode/dispatch.h"
#include "support.h"

namespace caplib_test {

inline Frame be16(uint16_t v) { return {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)}; }
inline Frame be32(uint32_t v) {
    return cat({be16(static_cast<uint16_t>(v >> 16)), be16(static_cast<uint16_t>(v))});
}
inline Frame le16(uint16_t v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }
inline Frame le32(uint32_t v) {
    return cat({le16(static_cast<uint16_t>(v)), le16(static_cast<uint16_t>(v >> 16))});
}
// A zero-terminated 8-bit string.
inline Frame cstr(std::string_view s) { return cat({ascii(s), Frame{0}}); }
// A zero-terminated little-endian 16-bit string.
inline Frame wstr(std::string_view s) {
    Frame out;
    for (char c : s) out = cat({out, le16(static_cast<uint8_t>(c))});
    return cat({out, le16(0)});
}

// The first n bytes of a frame, and the bytes from n on.
inline Frame head(const Frame &f, size_t n) {
    return Frame(f.begin(), f.begin() + static_cast<long>(n < f.size() ? n : f.size()));
}
inline Frame tail(const Frame &f, size_t n) {
    return Frame(f.begin() + static_cast<long>(n < f.size() ? n : f.size()), f.end());
}

// One label holding the first-level encoding of raw bytes (two letters
// 'A'..'P' per byte), without the final zero.
inline Frame nb_label(const Frame &raw) {
    Frame out{static_cast<uint8_t>(raw.size() * 2)};
    for (uint8_t b : raw) {
        out.push_back(static_cast<uint8_t>('A' + (b >> 4)));
        out.push_back(static_cast<uint8_t>('A' + (b & 15)));
    }
    return out;
}

// The 16 raw bytes of a name: padded with blanks to 15 bytes, then the suffix.
inline Frame nb_raw(std::string_view name, uint8_t suffix) {
    Frame raw(name.begin(), name.end());
    raw.resize(15, ' ');
    raw.push_back(suffix);
    return raw;
}

// An encoded NetBIOS name: the raw name's label, the scope labels and the
// final zero.
inline Frame nb_encode(std::string_view name, uint8_t suffix, std::string_view scope = "") {
    Frame out = nb_label(nb_raw(name, suffix));
    while (!scope.empty()) {
        size_t dot = scope.find('.');
        std::string_view label = scope.substr(0, dot);
        out.push_back(static_cast<uint8_t>(label.size()));
        out.insert(out.end(), label.begin(), label.end());
        scope = dot == std::string_view::npos ? std::string_view() : scope.substr(dot + 1);
    }
    out.push_back(0);
    return out;
}

// Runs the chain from `proto` over an exact-size copy of the frame (so the
// sanitizers see any read past it) into a canary-guarded buffer of
// exactly `room` bytes.
inline std::string chain(uint32_t proto, const Frame &frame, uint32_t room = 8192,
                         const char *sep = "\n") {
    constexpr size_t kCanary = 32;
    std::unique_ptr<uint8_t[]> data(new uint8_t[frame.empty() ? 1 : frame.size()]);
    if (!frame.empty()) std::memcpy(data.get(), frame.data(), frame.size());
    std::vector<char> text(room + kCanary, 'Z');
    caplib::set_separator(sep);
    caplib::Text out(text.data(), room);
    caplib::decode_chain(proto, caplib::Bytes(data.get(), static_cast<uint32_t>(frame.size())), out);
    for (size_t i = room; i < text.size(); ++i)
        if (text[i] != 'Z') {
            ADD_FAILURE() << "text written past room " << room;
            break;
        }
    caplib::set_separator(nullptr);
    return std::string(out.view());
}

// Every room from `lowest` up to the whole text gives the whole text cut
// short, never anything else and never more than fits.
inline void expect_cut_texts(uint32_t proto, const Frame &frame, uint32_t lowest) {
    std::string full = chain(proto, frame);
    for (uint32_t room = lowest; room <= full.size() + 1; ++room) {
        std::string t = chain(proto, frame, room);
        ASSERT_EQ(t, full.substr(0, t.size())) << room;
        ASSERT_LT(t.size(), room);
    }
}

// Decodes every prefix of the frame (the sanitizers watch the reads).
inline void decode_every_prefix(uint32_t proto, const Frame &frame) {
    for (size_t n = 0; n <= frame.size(); ++n) chain(proto, head(frame, n));
}

namespace detail {

inline uint16_t checksum(const Frame &h) {
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < h.size(); i += 2) sum += static_cast<uint32_t>(h[i] << 8 | h[i + 1]);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

// Ethernet II and IPv4 from 192.168.0.5 to 192.168.0.255 around a payload.
inline Frame ipv4(uint8_t proto, const Frame &payload) {
    Frame h = cat({hex("4500"), be16(static_cast<uint16_t>(20 + payload.size())), hex("1234 0000 80"),
                   Frame{proto}, hex("0000 C0A80005 C0A800FF")});
    Frame sum = be16(checksum(h));
    h[10] = sum[0];
    h[11] = sum[1];
    return cat({hex("FFFFFFFFFFFF 00A0C5110233 0800"), h, payload});
}

}  // namespace detail

// Full frames from the link layer on (layer 1).
inline Frame udp_frame(uint16_t sport, uint16_t dport, const Frame &payload) {
    return detail::ipv4(17, cat({be16(sport), be16(dport),
                                 be16(static_cast<uint16_t>(8 + payload.size())), hex("0000"),
                                 payload}));
}
inline Frame tcp_frame(uint16_t sport, uint16_t dport, const Frame &payload) {
    return detail::ipv4(6, cat({be16(sport), be16(dport), be32(1000), be32(2000),
                                hex("5018 2000 0000 0000"), payload}));
}

// An SMB: header with command, flags, the tree, process, user and
// multiplex ids and word count, the words, the byte count and the byte area.
struct SmbIds {
    uint16_t tid = 0, pid = 0, uid = 0, mid = 0;
};

inline Frame smb(uint8_t command, uint8_t flags, const std::vector<uint16_t> &words,
                 const Frame &bytes = {}, SmbIds ids = {}) {
    Frame out = cat({hex("FF534D42"), Frame{command, 0, 0}, le16(0), Frame{flags}, le16(0),
                     Frame(12, 0), le16(ids.tid), le16(ids.pid), le16(ids.uid), le16(ids.mid),
                     Frame{static_cast<uint8_t>(words.size())}});
    for (uint16_t w : words) out = cat({out, le16(w)});
    return cat({out, le16(static_cast<uint16_t>(bytes.size())), bytes});
}

// Datagram header: type, flags, id 0x8001, 192.168.0.5:138, the length
// field and offset 0, then whatever follows.
inline Frame dgram(uint8_t type, uint8_t flags, const Frame &rest) {
    return cat({Frame{type, flags}, hex("8001 C0A80005 008A"),
                be16(static_cast<uint16_t>(rest.size())), hex("0000"), rest});
}

// A mailslot transaction request (17 words, the data offset in word 12)
// carrying `message` to the mailslot `name`.
inline Frame trans_request(std::string_view name, const Frame &message) {
    Frame name_z = cstr(name);
    std::vector<uint16_t> words(17, 0);
    words[11] = static_cast<uint16_t>(message.size());
    words[12] = static_cast<uint16_t>(35 + 2 * words.size() + name_z.size());
    words[13] = 3;  // three setup words: opcode, priority, class
    words[14] = 1;
    words[15] = 1;
    words[16] = 2;
    return smb(0x25, 0, words, cat({name_z, message}));
}

}  // namespace caplib_test
