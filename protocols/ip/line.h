// A line assembled in a local buffer without formatted writes: the IP
// lines open most frames of a trace, and a formatted write with a dozen
// numbers costs more than the rest of the decoder.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "decode/bytes.h"

namespace caplib::ip {

class Line {
public:
    // Pieces beyond the capacity are dropped; no IP line comes near it.
    Line &put(std::string_view s) {
        size_t n = s.size() < kCapacity - n_ ? s.size() : kCapacity - n_;
        std::memcpy(buf_ + n_, s.data(), n);
        n_ += n;
        return *this;
    }
    Line &put(char c) {
        if (n_ < kCapacity) buf_[n_++] = c;
        return *this;
    }
    // "%u"
    Line &dec(uint32_t v) {
        char digits[10];
        size_t n = 0;
        do {
            digits[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v);
        while (n) put(digits[--n]);
        return *this;
    }
    // "%2u"
    Line &dec2(uint32_t v) {
        if (v < 10) put(' ');
        return dec(v);
    }
    // "%X"
    Line &hex(uint32_t v) {
        constexpr char kDigits[] = "0123456789ABCDEF";
        int shift = 28;
        while (shift > 0 && !(v >> shift)) shift -= 4;
        for (; shift >= 0; shift -= 4) put(kDigits[v >> shift & 15]);
        return *this;
    }
    // "%02X" of each of the n bytes at off.
    Line &hex(Bytes b, uint32_t off, uint32_t n) {
        constexpr char kDigits[] = "0123456789ABCDEF";
        for (uint32_t i = 0; i < n; ++i) {
            uint8_t v = b.u8(off + i);
            put(kDigits[v >> 4]).put(kDigits[v & 15]);
        }
        return *this;
    }
    // "%u.%u.%u.%u" of the four bytes at off.
    Line &dotted(Bytes b, uint32_t off) {
        for (uint32_t i = 0; i < 4; ++i) {
            if (i) put('.');
            dec(b.u8(off + i));
        }
        return *this;
    }

    std::string_view view() const { return {buf_, n_}; }

private:
    static constexpr size_t kCapacity = 128;
    char buf_[kCapacity];
    size_t n_ = 0;
};

}  // namespace caplib::ip
