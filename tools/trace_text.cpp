#include "trace_text.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>

namespace caplib_tool {

TraceText::TraceText(std::string separator, bool hex) : sep_(std::move(separator)), hex_(hex) {
    // As the library's writer does when it is made: the zone in force now.
    tzset();
}

// As the library's writer converts it, "dd.mm.yyyy hh:mm:ss.mmm" in local
// time, but into the composer's own text: composers on several threads
// share nothing.
std::string_view TraceText::time_text(const CAPLIB_TIMEVAL &t) {
    if (t.tv_sec != second_) {
        second_ = t.tv_sec;
        time_t s = t.tv_sec;
        struct tm tm;
        int n = localtime_r(&s, &tm) ? std::snprintf(time_, sizeof time_, "%02d.%02d.%04d %02d:%02d:%02d", tm.tm_mday,
                                                     tm.tm_mon + 1, tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec)
                                     : 0;
        date_len_ = n > 0 ? std::min(static_cast<size_t>(n), sizeof time_ - 5) : 0;
    }
    if (date_len_ == 0) return "?DATE?";
    int32_t ms = t.tv_usec / 1000 % 1000;
    if (ms < 0) {
        // Truncated towards zero, as the signed division leaves it: ".-05".
        int n = std::snprintf(time_ + date_len_, sizeof time_ - date_len_, ".%03d", ms);
        return {time_, date_len_ + std::min(static_cast<size_t>(n > 0 ? n : 0), sizeof time_ - 1 - date_len_)};
    }
    time_[date_len_] = '.';
    time_[date_len_ + 1] = static_cast<char>('0' + ms / 100);
    time_[date_len_ + 2] = static_cast<char>('0' + ms / 10 % 10);
    time_[date_len_ + 3] = static_cast<char>('0' + ms % 10);
    return {time_, date_len_ + 4};
}

std::string_view TraceText::compose(const CAPLIB_PAKET &p, uint32_t number) {
    return {text_, compose(p, number, text_)};
}

size_t TraceText::compose(const CAPLIB_PAKET &p, uint32_t number, char *out) {
    size_t n = 0;
    bool fits = true;
    // The header line and its separator must leave the decoder a byte.
    auto put = [&](std::string_view s) {
        if (!fits || s.size() > kLine - 1 - n) {
            fits = false;
            return;
        }
        std::memcpy(out + n, s.data(), s.size());
        n += s.size();
    };
    auto dec = [&](uint32_t v) {
        char digits[10];
        put(std::string_view(digits, static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, v).ptr - digits)));
    };
    put("\n");
    dec(number);
    put(". ");
    put(time_text(p.time));
    put(" ");
    put(p.name ? std::string_view(p.name, strnlen(p.name, kLine)) : "-NULL-");
    put(" ");
    put(CAPLIB_layer2str(p.layer));
    put(p.direction ? " >>> " : " <<< ");
    dec(p.length);
    put("/");
    dec(p.orig_length);
    put(" ");
    put(CAPLIB_attrib2str(p.attribute));
    if (p.layer == CAPLIB_LAYER_PPP) {
        put(" Channel=");
        dec(p.channel);
    }
    put(sep_);
    if (!fits) return 0;
    CAPLIB_decode(p.layer, p.data, p.length, out + n, static_cast<uint32_t>(kLine - n), sep_.c_str());
    n += strnlen(out + n, kLine - n);
    if (hex_) {
        int32_t length = p.length > INT32_MAX ? -1 : static_cast<int32_t>(p.length);
        n += static_cast<size_t>(CAPLIB_string_hexdump(out + n, kLine, p.data, length, sep_.c_str()));
    }
    return n;
}

namespace {

struct TraceSink {
    CAPLIB_OUTPUT pub;  // first: the object is its own priv
    FILE *stream;
    bool buffered;
    TraceText text;
};

int sink_paket(CAPLIB_OUTPUT *out, CAPLIB_PAKET *p) {
    TraceSink *s = static_cast<TraceSink *>(out->priv);
    std::string_view text = s->text.compose(*p, p->number);
    if (text.empty()) return CAPLIB_ERR_FORMAT;
    if (std::fwrite(text.data(), 1, text.size(), s->stream) != text.size() ||
        (!s->buffered && std::fflush(s->stream) != 0) || std::ferror(s->stream))
        return CAPLIB_ERR_WRITE;
    return CAPLIB_OK;
}

}  // namespace

CAPLIB_OUTPUT *trace_output(FILE *stream, const std::string &separator, bool hex, bool buffered) {
    TraceSink *s = new (std::nothrow) TraceSink{{}, stream, buffered, TraceText(separator, hex)};
    if (!s) return nullptr;
    s->pub = CAPLIB_OUTPUT{0, nullptr, sink_paket, [](CAPLIB_OUTPUT *o, int) { delete static_cast<TraceSink *>(o->priv); },
                           s};
    return &s->pub;
}

}  // namespace caplib_tool
