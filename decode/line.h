// Lines assembled without a formatted write, for the lines that nearly
// every frame of a trace produces. Each piece reproduces a printf
// conversion exactly; tests compare them with the formats they replace.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace caplib {

// A line assembled in a fixed local buffer, appended in one piece.
template <size_t N>
class Line {
public:
    // Pieces that do not fit are cut; callers size N for their longest line.
    Line &str(std::string_view s) {
        size_t k = s.size() < N - n_ ? s.size() : N - n_;
        std::memcpy(b_ + n_, s.data(), k);
        n_ += k;
        return *this;
    }
    Line &chr(char c) { return str(std::string_view(&c, 1)); }
    // Hex with exactly `digits` digits (at most 8), like "%0*X" and "%0*x".
    Line &hex(uint32_t v, unsigned digits) { return hex_digits(v, digits, "0123456789ABCDEF"); }
    Line &hex_lower(uint32_t v, unsigned digits) { return hex_digits(v, digits, "0123456789abcdef"); }
    // Unsigned decimal right-aligned in at least `width` places, like "%*u".
    Line &dec(uint32_t v, unsigned width = 0) {
        char d[10];
        size_t i = sizeof d;
        do {
            d[--i] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v);
        while (sizeof d - i < width && i > 0) d[--i] = ' ';
        return str(std::string_view(d + i, sizeof d - i));
    }

    std::string_view view() const { return {b_, n_}; }

private:
    Line &hex_digits(uint32_t v, unsigned digits, const char *set) {
        char d[8];
        if (digits > sizeof d) digits = sizeof d;
        for (unsigned i = digits; i-- > 0; v >>= 4) d[i] = set[v & 0xF];
        return str(std::string_view(d, digits));
    }

    char b_[N];
    size_t n_ = 0;
};

}  // namespace caplib
