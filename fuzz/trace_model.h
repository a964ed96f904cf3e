// A plain model of the text trace: every record by formatted writes and
// localtime, the way the writer's fast paths (header line without
// formatted writes, time text cached per second, hex dump by rows) must
// print it.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "caplib.h"

namespace fuzz {

inline constexpr size_t kTraceLine = 8192;  // the writer's line buffer

inline std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
inline std::string format(const char *fmt, ...) {
    char buf[1024];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return std::string(buf, n < 0 ? 0 : static_cast<size_t>(n) < sizeof buf ? static_cast<size_t>(n) : sizeof buf - 1);
}

// The time text by localtime and one formatted write.
inline std::string reference_time(const CAPLIB_TIMEVAL &t) {
    time_t s = t.tv_sec;
    struct tm *tm = std::localtime(&s);
    if (!tm) return "?DATE?";
    return format("%02d.%02d.%04d %02d:%02d:%02d.%03d", tm->tm_mday, tm->tm_mon + 1, tm->tm_year + 1900,
                  tm->tm_hour, tm->tm_min, tm->tm_sec, (t.tv_usec / 1000) % 1000);
}

// The hex dump as the general loop writes it into `size` bytes: position
// by position, the offsets by a formatted write, the bytes by their digits.
inline void reference_dump(std::string &text, const uint8_t *data, int32_t length, const char *sep, size_t size) {
    static std::vector<char> buf;
    buf.resize(size);
    char *out = buf.data();
    const size_t end = size - 1, sep_len = std::strlen(sep);
    const int64_t total = int64_t{length} + 20 - (length % 20);
    size_t p = 0;
    for (int64_t i = 0; i < total; ++i) {
        if (p + 3 >= end) break;
        int col = static_cast<int>(i % 20);
        if (col == 0) {
            if (p + 8 >= end) break;
            p += static_cast<size_t>(std::snprintf(out + p, size - p, "%04x ", static_cast<unsigned>(i)));
            if (p + 3 >= end) break;
        }
        if (col % 4 == 0) out[p++] = ' ';
        out[p++] = i < length ? "0123456789ABCDEF"[data[i] >> 4] : ' ';
        out[p++] = i < length ? "0123456789ABCDEF"[data[i] & 15] : ' ';
        if (col == 19) {
            if (p + sep_len + 22 >= end) break;
            out[p++] = ' ';
            out[p++] = ' ';
            for (int64_t k = i - 19; k <= i && k < length; ++k) {
                uint8_t c = data[k];
                bool shown = c >= 0x20 && c <= 0x7E && c != '<' && c != '>' && c != '&';
                out[p++] = shown ? static_cast<char>(c) : '.';
            }
            std::memcpy(out + p, sep, sep_len);
            p += sep_len;
        }
    }
    text.append(out, p);
}

// Record number `count`'s header line and decoded text, without the hex
// dump; empty when the header line does not fit the writer's line buffer,
// where the writer refuses the record.
inline std::string reference_record(uint32_t count, const CAPLIB_PAKET &p, const char *sep) {
    std::string head = format("\n%u. %s ", count, reference_time(p.time).c_str());
    head += p.name ? p.name : "-NULL-";
    head += format(" %s %s %u/%u %s", CAPLIB_layer2str(p.layer), p.direction ? ">>>" : "<<<", p.length,
                   p.orig_length, CAPLIB_attrib2str(p.attribute));
    if (p.layer == CAPLIB_LAYER_PPP) head += format(" Channel=%u", p.channel);
    head += sep;
    if (head.size() >= kTraceLine) return {};
    static char decoded[kTraceLine];
    CAPLIB_decode(p.layer, p.data, p.length, decoded, static_cast<uint32_t>(kTraceLine - head.size()), sep);
    return head + decoded;
}

}  // namespace fuzz
