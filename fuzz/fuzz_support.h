// Pieces shared by the fuzz targets: reading fields off the input and the
// checks every target makes on the caller's buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <unistd.h>

namespace fuzz {

// A failed invariant is a crash: libFuzzer keeps the input, the replay
// test fails.
[[noreturn]] inline void fail(const char *what, const char *file, int line) {
    std::fprintf(stderr, "%s:%d: invariant failed: %s\n", file, line, what);
    std::abort();
}
#define FUZZ_CHECK(cond) ((cond) ? (void)0 : ::fuzz::fail(#cond, __FILE__, __LINE__))

// Consumes the input from the front; past its end every field reads 0.
class Input {
public:
    Input(const uint8_t *data, size_t size) : p_(data), n_(size) {}

    size_t left() const { return n_; }
    uint8_t u8() { return n_ ? (--n_, *p_++) : 0; }
    uint16_t u16() { return static_cast<uint16_t>(u8() << 8 | u8()); }
    uint32_t u32() { return uint32_t{u16()} << 16 | u16(); }
    // Up to n bytes; fewer when the input ends.
    std::string bytes(size_t n) {
        if (n > n_) n = n_;
        std::string s(reinterpret_cast<const char *>(p_), n);
        p_ += n;
        n_ -= n;
        return s;
    }
    std::string rest() { return bytes(n_); }

private:
    const uint8_t *p_;
    size_t n_;
};

// An exact-size heap copy, so that the sanitizer sees a read one byte past
// the end (the fuzzer's own buffer also holds the fields in front).
class Exact {
public:
    explicit Exact(const std::string &s) : size_(s.size()), p_(new uint8_t[s.size() ? s.size() : 1]) {
        if (size_) std::memcpy(p_.get(), s.data(), size_);
    }
    const uint8_t *data() const { return size_ ? p_.get() : nullptr; }
    uint32_t size() const { return static_cast<uint32_t>(size_); }

private:
    size_t size_;
    std::unique_ptr<uint8_t[]> p_;
};

// A text buffer of exactly `room` bytes followed by canary bytes inside the
// same allocation, so a write just past room changes a canary and a write
// further out leaves the allocation.
class Guarded {
public:
    static constexpr size_t kCanary = 64;
    static constexpr char kByte = '\x5A';

    explicit Guarded(size_t room) : room_(room), p_(new char[room + kCanary]) {
        std::memset(p_.get(), kByte, room + kCanary);
    }
    char *data() { return p_.get(); }
    size_t room() const { return room_; }

    bool canaries_intact() const {
        for (size_t i = room_; i < room_ + kCanary; ++i)
            if (p_[i] != kByte) return false;
        return true;
    }
    // The text must end within room; with room 0 nothing may be written.
    bool terminated() const { return room_ == 0 || std::memchr(p_.get(), 0, room_) != nullptr; }
    std::string text() const { return room_ ? std::string(p_.get()) : std::string(); }

private:
    size_t room_;
    std::unique_ptr<char[]> p_;
};

// Lets `write` fill a guarded buffer of `room` bytes and returns the text
// after checking that it ends within room and nothing past room changed.
template <typename Write>
std::string guarded_text(size_t room, Write write) {
    Guarded text(room);
    write(text.data());
    FUZZ_CHECK(text.canaries_intact());
    FUZZ_CHECK(text.terminated());
    return text.text();
}

// A text decoded at a smaller room than the full one stays below it; with
// 100 bytes to spare (the least a decoder is started with) it is the full
// text, and otherwise decoding again gives the same text: decoding keeps
// no state between frames. (A cut text need not be the start of the full
// one: some decoders skip a line that would not fit, or mark a cut.)
template <typename Decode>
void check_rooms(uint32_t room, uint32_t full_room, Decode decode) {
    const std::string text = decode(room);
    FUZZ_CHECK(room == 0 || text.size() < room);
    const std::string full = decode(full_room);
    if (room >= full.size() + 100)
        FUZZ_CHECK(text == full);
    else
        FUZZ_CHECK(decode(room) == text);
}

// Separator text chosen by a selector byte: bit 5 set, the next byte
// gives its length (long separators strain the decoders' room sums); else
// bits 0-1 do. The separator's bytes follow (a NUL among them shortens it).
inline std::string separator_text(Input &in, uint8_t sel) {
    size_t len = (sel & 0x20) ? in.u8() : (sel & 3u);
    std::string s = in.bytes(len);
    return s.substr(0, s.find('\0'));
}

// The selector's bit 7 stands for a null separator.
inline const char *separator(Input &in, std::string &storage) {
    uint8_t sel = in.u8();
    if (sel & 0x80) return nullptr;
    storage = separator_text(in, sel);
    return storage.c_str();
}

// A file name of this process for the file-based targets: in memory when
// /dev/shm is there. The library appends the extension itself.
inline std::string scratch_base() {
    static const std::string base = [] {
        const char *dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
        return std::string(dir ? dir : "/tmp") + "/caplib-fuzz-" + std::to_string(getpid());
    }();
    return base;
}

inline bool starts_with(const std::string &s, const std::string &prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace fuzz
