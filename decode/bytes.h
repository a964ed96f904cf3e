// Bounded reads over captured bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string_view>

namespace caplib {

// Reads past the end so far on the calling thread (see has()); each
// program that reads through Bytes counts its own.
inline thread_local uint64_t t_short_reads = 0;
inline uint64_t short_reads() { return t_short_reads; }
[[gnu::cold, gnu::noinline]] inline void count_short_read() { ++t_short_reads; }

// A view over captured bytes. Every read names an offset into the view; a
// read that does not fit returns 0, so that a field past the captured
// bytes reads as zeros. Nothing here can touch a byte outside the view.
class Bytes {
public:
    constexpr Bytes() = default;
    constexpr Bytes(const uint8_t *data, uint32_t size) : p_(data), n_(data ? size : 0) {}

    constexpr uint32_t size() const { return n_; }
    constexpr bool empty() const { return n_ == 0; }
    constexpr bool has(uint32_t off, uint32_t len = 1) const { return off <= n_ && len <= n_ - off; }

    uint8_t u8(uint32_t off) const { return fits(off, 1) ? p_[off] : 0; }
    uint16_t be16(uint32_t off) const {
        return fits(off, 2) ? static_cast<uint16_t>(p_[off] << 8 | p_[off + 1]) : 0;
    }
    uint32_t be24(uint32_t off) const {
        return fits(off, 3) ? uint32_t{p_[off]} << 16 | uint32_t{p_[off + 1]} << 8 | p_[off + 2] : 0;
    }
    uint32_t be32(uint32_t off) const {
        return fits(off, 4) ? uint32_t{p_[off]} << 24 | uint32_t{p_[off + 1]} << 16 |
                                  uint32_t{p_[off + 2]} << 8 | p_[off + 3]
                            : 0;
    }
    uint16_t le16(uint32_t off) const {
        return fits(off, 2) ? static_cast<uint16_t>(p_[off] | p_[off + 1] << 8) : 0;
    }
    uint32_t le32(uint32_t off) const {
        return fits(off, 4) ? uint32_t{p_[off]} | uint32_t{p_[off + 1]} << 8 |
                                  uint32_t{p_[off + 2]} << 16 | uint32_t{p_[off + 3]} << 24
                            : 0;
    }

    // True when the bytes at off are exactly the given ones.
    bool starts_with(uint32_t off, std::initializer_list<uint8_t> want) const {
        if (!has(off, static_cast<uint32_t>(want.size()))) return false;
        uint32_t i = off;
        for (uint8_t b : want)
            if (p_[i++] != b) return false;
        return true;
    }

    // Sub-views are clamped to this view: asking for more gives what is there.
    Bytes from(uint32_t off) const { return off < n_ ? Bytes(p_ + off, n_ - off) : Bytes(); }
    Bytes first(uint32_t len) const { return Bytes(p_, len < n_ ? len : n_); }
    Bytes slice(uint32_t off, uint32_t len) const { return from(off).first(len); }

    // Length of the zero-terminated string at off, or nothing when the
    // view ends before its terminator.
    std::optional<uint32_t> cstr_len(uint32_t off) const {
        if (off >= n_) return std::nullopt;
        const void *z = std::memchr(p_ + off, 0, n_ - off);
        if (!z) return std::nullopt;
        return static_cast<uint32_t>(static_cast<const uint8_t *>(z) - (p_ + off));
    }

    // The bytes at off as characters, clamped to the view.
    std::string_view chars(uint32_t off, uint32_t len) const {
        Bytes s = slice(off, len);
        return {reinterpret_cast<const char *>(s.p_), s.n_};
    }

    // Copies up to len bytes from off into dst; returns how many it copied.
    uint32_t copy_to(uint32_t off, void *dst, uint32_t len) const {
        Bytes s = slice(off, len);
        if (s.n_) std::memcpy(dst, s.p_, s.n_);
        return s.n_;
    }

    const uint8_t *begin() const { return p_; }
    const uint8_t *end() const { return p_ + n_; }

private:
    bool fits(uint32_t off, uint32_t len) const {
        if (has(off, len)) [[likely]]
            return true;
        count_short_read();
        return false;
    }

    const uint8_t *p_ = nullptr;
    uint32_t n_ = 0;
};

}  // namespace caplib
