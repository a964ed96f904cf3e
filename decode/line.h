// Lines assembled without a formatted write, for the lines that nearly
// every frame of a trace produces. Each piece reproduces a printf
// conversion exactly; tests compare them with the formats they replace.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace caplib {

inline constexpr char kHexUpper[] = "0123456789ABCDEF";
inline constexpr char kHexLower[] = "0123456789abcdef";

// A line assembled in a fixed local buffer, appended in one piece.
template <size_t N>
class Line {
public:
    // Pieces that do not fit are cut; callers size N for their longest line.
    Line &str(std::string_view s) {
        size_t k = s.size() < N - n_ ? s.size() : N - n_;
        // Most pieces are a few characters: a loop beats a call of memcpy.
        if (k <= 16) {
            for (size_t i = 0; i < k; ++i) b_[n_ + i] = s[i];
        } else {
            std::memcpy(b_ + n_, s.data(), k);
        }
        n_ += k;
        return *this;
    }
    Line &chr(char c) {
        if (n_ < N) b_[n_++] = c;
        return *this;
    }
    // Hex with exactly `digits` digits (at most 8), like "%0*X" and "%0*x".
    Line &hex(uint32_t v, unsigned digits) { return hex_digits(v, digits, kHexUpper); }
    Line &hex_lower(uint32_t v, unsigned digits) { return hex_digits(v, digits, kHexLower); }
    // Lower-case hex without leading zeros, like "%x".
    Line &hex_min(uint32_t v) {
        unsigned digits = 1;
        while (digits < 8 && v >> (4 * digits)) ++digits;
        return hex_digits(v, digits, kHexLower);
    }
    // Unsigned decimal right-aligned in at least `width` places (at most
    // kMaxWidth), like "%*u".
    static constexpr unsigned kMaxWidth = 16;
    Line &dec(uint32_t v, unsigned width = 0) {
        if (width > kMaxWidth) width = kMaxWidth;
        unsigned digits = decimal_digits(v);
        size_t total = digits < width ? width : digits;
        if (total > N - n_) return dec_cut(v, width);
        char *p = b_ + n_ + total;
        // Two digits per step from a table of the pairs 00..99.
        while (v >= 100) {
            unsigned pair = (v % 100) * 2;
            v /= 100;
            *--p = kPairs[pair + 1];
            *--p = kPairs[pair];
        }
        if (v >= 10) {
            *--p = kPairs[v * 2 + 1];
            *--p = kPairs[v * 2];
        } else {
            *--p = static_cast<char>('0' + v);
        }
        while (p > b_ + n_) *--p = ' ';
        n_ += total;
        return *this;
    }

    // Signed decimal, like "%d".
    Line &sdec(int32_t v) {
        if (v < 0) chr('-');
        return dec(v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v));
    }

    std::string_view view() const { return {b_, n_}; }

private:
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";

    static unsigned decimal_digits(uint32_t v) {
        unsigned n = 1;
        for (; v >= 10000; v /= 10000) n += 4;
        return n + (v >= 10) + (v >= 100) + (v >= 1000);
    }

    Line &hex_digits(uint32_t v, unsigned digits, const char *set) {
        char d[8];
        if (digits > sizeof d) digits = sizeof d;
        for (unsigned i = 0; i < digits; ++i) d[digits - 1 - i] = set[(v >> (4 * i)) & 0xF];
        return str(std::string_view(d, digits));
    }
    // dec() near the end of the line: the text it would print, cut. Every
    // store is under its own bound check, so the compiler sees the bound.
    Line &dec_cut(uint32_t v, unsigned width) {
        unsigned digits = decimal_digits(v);
        for (unsigned k = digits; k < width && n_ < N; ++k) b_[n_++] = ' ';
        uint32_t scale = 1;
        for (unsigned k = 1; k < digits; ++k) scale *= 10;
        for (; scale && n_ < N; scale /= 10) b_[n_++] = static_cast<char>('0' + v / scale % 10);
        return *this;
    }

    char b_[N];
    size_t n_ = 0;
};

}  // namespace caplib
