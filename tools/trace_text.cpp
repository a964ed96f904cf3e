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

namespace {

// " " code behind: one of the texts kept for the next records.
void keep(std::string &text, std::string_view code, std::string_view behind) {
    text.resize(1 + code.size() + behind.size());
    text[0] = ' ';
    code.copy(text.data() + 1, code.size());
    behind.copy(text.data() + 1 + code.size(), behind.size());
}

char *put(char *o, std::string_view s) {
    std::memcpy(o, s.data(), s.size());
    return o + s.size();
}

}  // namespace

// The header line, with the texts of the record's codes kept from the
// records before: "\n1. <time> <name> Ethernet <<< 60/60 Normal<sep>".
// It must leave the decoder a byte of the line; out has room for two
// lines, so the line is written whole before it is measured.
size_t TraceText::header(const CAPLIB_PAKET &p, uint32_t number, std::string_view time, std::string_view name,
                         char *out) {
    uint64_t layer_key = uint64_t{p.layer} << 1 | (p.direction != 0);
    if (layer_.key != layer_key) {
        layer_.key = layer_key;
        keep(layer_.text, CAPLIB_layer2str(p.layer), p.direction ? " >>> " : " <<< ");
    }
    bool ppp = p.layer == CAPLIB_LAYER_PPP;
    uint64_t attribute_key = uint64_t{p.attribute} << 1 | ppp;
    if (attribute_.key != attribute_key) {
        attribute_.key = attribute_key;
        keep(attribute_.text, CAPLIB_attrib2str(p.attribute), ppp ? " Channel=" : "");
    }
    // Five characters of its own and four numbers of at most 10 digits:
    // a line longer than this bound is longer than a line by far.
    if (5 + 4 * 10 + time.size() + name.size() + layer_.text.size() + attribute_.text.size() + sep_.size() > kText)
        return 0;
    char *o = out;
    *o++ = '\n';
    o = std::to_chars(o, o + 10, number).ptr;
    o = put(o, ". ");
    o = put(o, time);
    *o++ = ' ';
    o = put(o, name);
    o = put(o, layer_.text);
    o = std::to_chars(o, o + 10, p.length).ptr;
    *o++ = '/';
    o = std::to_chars(o, o + 10, p.orig_length).ptr;
    o = put(o, attribute_.text);
    if (ppp) o = std::to_chars(o, o + 10, p.channel).ptr;
    o = put(o, sep_);
    size_t n = static_cast<size_t>(o - out);
    return n <= kLine - 1 ? n : 0;
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
    std::string_view time = time_text(p.time);
    std::string_view name = p.name ? std::string_view(p.name, strnlen(p.name, kLine)) : "-NULL-";
    size_t n = header(p, number, time, name, out);
    if (n == 0) return 0;
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
