// Bounded text appending over a caller's buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace caplib {

// The calling thread's separator: the one of its last CAPLIB_decode, "\n"
// before the first. Each thread has its own copy, so no caller's text is
// referenced after its call returns.
const char *thread_separator();
void set_separator(const char *sep);  // null stands for "\n"

// Appends text to a caller's buffer of `room` bytes without ever writing
// past it: the text stays NUL-terminated within room, and a piece that
// does not fit is cut at room - 1 and reported (the call returns false and
// cut() stays set). Room 0 means nothing is ever written, not even a NUL.
// The text carries the separator its lines end with: a decoding run gets
// it from its caller, never from state another caller could change.
class Text {
public:
    Text(char *buf, size_t room, const char *sep = thread_separator())
        : buf_(buf), room_(buf ? room : 0), sep_(sep ? sep : "\n") {
        if (room_) buf_[0] = '\0';
    }

    [[gnu::format(printf, 2, 3)]] bool add(const char *fmt, ...);
    bool put(std::string_view s);
    bool put(char c) { return put(std::string_view(&c, 1)); }

    const char *separator() const { return sep_; }

    size_t size() const { return len_; }
    size_t room() const { return room_; }
    // Bytes still available, terminator included (the decoders' "space").
    size_t left() const { return room_ - len_; }
    bool cut() const { return cut_; }

    const char *c_str() const { return room_ ? buf_ : ""; }
    std::string_view view() const { return {c_str(), len_}; }

    // A temporary limit: while it holds, the text takes at most `chars`
    // characters in all (never fewer than it has), and pieces are cut there
    // as they would be at the end of the room.
    class Bound {
    public:
        Bound(Text &t, size_t chars) : t_(t), room_(t.room_) {
            size_t keep = chars > t.len_ ? chars : t.len_;
            if (t.room_ && keep + 1 < t.room_) t.room_ = keep + 1;
        }
        ~Bound() { release(); }
        void release() { t_.room_ = room_; }
        Bound(const Bound &) = delete;
        Bound &operator=(const Bound &) = delete;

    private:
        Text &t_;
        size_t room_;
    };

    // Drops everything appended after `mark` (a size() taken earlier).
    void rewind(size_t mark) {
        if (mark < len_) {
            len_ = mark;
            buf_[len_] = '\0';
        }
    }

private:
    char *buf_;
    size_t room_;
    size_t len_ = 0;
    bool cut_ = false;
    const char *sep_;
};

}  // namespace caplib
