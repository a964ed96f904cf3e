#include "decode/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace caplib {

bool Text::add(const char *fmt, ...) {
    if (room_ == 0) {
        cut_ = true;
        return false;
    }
    size_t avail = room_ - len_;  // always >= 1: the terminator's place
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(buf_ + len_, avail, fmt, ap);
    va_end(ap);
    if (n < 0) {
        buf_[len_] = '\0';
        cut_ = true;
        return false;
    }
    if (static_cast<size_t>(n) >= avail) {
        len_ = room_ - 1;
        cut_ = true;
        return false;
    }
    len_ += static_cast<size_t>(n);
    return true;
}

bool Text::put(std::string_view s) {
    if (room_ == 0) {
        cut_ = !s.empty();
        return s.empty();
    }
    size_t avail = room_ - len_ - 1;
    size_t n = s.size() <= avail ? s.size() : avail;
    std::memcpy(buf_ + len_, s.data(), n);
    len_ += n;
    buf_[len_] = '\0';
    if (n < s.size()) {
        cut_ = true;
        return false;
    }
    return true;
}

}  // namespace caplib
