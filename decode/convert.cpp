// Hex dump and the value-to-text conversions.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

#include "caplib.h"
#include "decode/line.h"
#include "decode/time_text.h"

namespace {

constexpr std::array<const char *, 9> kLayerNames = {
    "PPP", "Ethernet", "Tokenring", "IP", "IPX", "ARP", "ISAKMP", "BNEP", "RFC1483",
};

constexpr std::array<const char *, 10> kAttributeNames = {
    "Normal", "Filtered", "Spoofed", "Dropped", "Changed",
    "Before change", "Level0", "Level1", "Level2", "Level3",
};

using caplib::kHexUpper;
constexpr int kRow = 20;  // bytes per dump row

constexpr bool printable(unsigned char c) {
    return c >= 0x20 && c <= 0x7E && c != '<' && c != '>' && c != '&';
}

// Per byte: its two hex digits, and its character in the right column.
struct DumpTables {
    char pair[256][2];
    char shown[256];
};
constexpr DumpTables kDump = [] {
    DumpTables t{};
    for (int b = 0; b < 256; ++b) {
        t.pair[b][0] = kHexUpper[b >> 4];
        t.pair[b][1] = kHexUpper[b & 15];
        t.shown[b] = printable(static_cast<unsigned char>(b)) ? static_cast<char>(b) : '.';
    }
    return t;
}();

// The whole dump, row by row, when it is known to fit: the common case of
// a trace, where the per-position checks of the general loop cost more
// than the dump itself. Offsets stay within four digits.
size_t dump_rows(char *out, const unsigned char *data, uint32_t length, const char *sep,
                 size_t sep_len) {
    using caplib::kHexLower;
    char *q = out;
    for (uint32_t base = 0;; base += kRow) {
        q[0] = kHexLower[base >> 12 & 15];
        q[1] = kHexLower[base >> 8 & 15];
        q[2] = kHexLower[base >> 4 & 15];
        q[3] = kHexLower[base & 15];
        q[4] = ' ';
        q += 5;
        uint32_t k = length - base < kRow ? length - base : kRow;  // bytes in this row
        const unsigned char *row = data + base;
        for (uint32_t i = 0; i < kRow; ++i) {
            if (i % 4 == 0) *q++ = ' ';
            if (i < k) {
                q[0] = kDump.pair[row[i]][0];
                q[1] = kDump.pair[row[i]][1];
            } else {
                q[0] = q[1] = ' ';
            }
            q += 2;
        }
        *q++ = ' ';
        *q++ = ' ';
        for (uint32_t i = 0; i < k; ++i) *q++ = kDump.shown[row[i]];
        std::memcpy(q, sep, sep_len);
        q += sep_len;
        if (k < kRow) break;  // the last row is never full
    }
    *q = '\0';
    return static_cast<size_t>(q - out);
}

}  // namespace

namespace caplib {
namespace {

// The zone is read from the environment once per process; a program that
// changes TZ calls tzset itself, as it would for localtime_r.
void read_zone_once() {
    static std::once_flag once;
    std::call_once(once, [] {
#if defined(_WIN32)
        _tzset();
#else
        tzset();
#endif
    });
}

// "dd.mm.yyyy hh:mm:ss" of a second in local time; 0 when the platform
// cannot convert it.
size_t date_time(int32_t secs, char *out) {
    read_zone_once();
    time_t s = secs;
    struct tm tm;
#if defined(_WIN32)
    if (localtime_s(&tm, &s) != 0) return 0;
#else
    if (!localtime_r(&s, &tm)) return 0;
#endif
    int n = std::snprintf(out, kTimeTextRoom, "%02d.%02d.%04d %02d:%02d:%02d", tm.tm_mday,
                          tm.tm_mon + 1, tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return n > 0 ? std::min(static_cast<size_t>(n), kTimeTextRoom - 1) : 0;
}

// ".%03d" of the milliseconds, (usec / 1000) % 1000 truncated towards
// zero like the signed division it is; appended within the room.
size_t add_milliseconds(int32_t usec, char *out, size_t used) {
    int ms = (usec / 1000) % 1000;
    if (ms >= 0 && used + 5 <= kTimeTextRoom) {
        out[used] = '.';
        out[used + 1] = static_cast<char>('0' + ms / 100);
        out[used + 2] = static_cast<char>('0' + ms / 10 % 10);
        out[used + 3] = static_cast<char>('0' + ms % 10);
        out[used + 4] = '\0';
        return used + 4;
    }
    int n = std::snprintf(out + used, kTimeTextRoom - used, ".%03d", ms);
    return n > 0 ? std::min(used + static_cast<size_t>(n), kTimeTextRoom - 1) : used;
}

constexpr char kNoDate[] = "?DATE?";

}  // namespace

size_t time_text(const CAPLIB_TIMEVAL &t, char *out) {
    size_t n = date_time(t.tv_sec, out);
    if (n == 0) {
        std::memcpy(out, kNoDate, sizeof kNoDate);
        return sizeof kNoDate - 1;
    }
    return add_milliseconds(t.tv_usec, out, n);
}

TimeTextCache::TimeTextCache() : second_(int64_t{INT32_MIN} - 1) { text_[0] = '\0'; }

std::string_view TimeTextCache::text(const CAPLIB_TIMEVAL &t) {
    if (t.tv_sec != second_) {
        second_ = t.tv_sec;
        date_len_ = date_time(t.tv_sec, text_);
        converted_ = date_len_ != 0;
    }
    if (!converted_) return kNoDate;
    return {text_, add_milliseconds(t.tv_usec, text_, date_len_)};
}

}  // namespace caplib

namespace {

// Each thread may hold five texts of its own ring at once.
thread_local char t_time_ring[5][caplib::kTimeTextRoom];
thread_local unsigned t_time_next = 0;

}  // namespace

extern "C" {

CAPLIB_API const char *CAPLIB_layer2str(uint32_t layer) {
    return layer < kLayerNames.size() ? kLayerNames[layer] : "???";
}

CAPLIB_API const char *CAPLIB_attrib2str(uint32_t attribute) {
    return attribute < kAttributeNames.size() ? kAttributeNames[attribute] : "???";
}

CAPLIB_API const char *CAPLIB_timeval2str(const CAPLIB_TIMEVAL *time) {
    char *buf = t_time_ring[t_time_next];
    t_time_next = (t_time_next + 1) % 5;
    caplib::time_text(*time, buf);
    return buf;
}

// Rows of 20 bytes: offset, five groups of four bytes in hex, the printable
// column, the separator. A dump that runs out of space stops mid-row.
CAPLIB_API int CAPLIB_string_hexdump(char *out, uint32_t size, const unsigned char *data,
                                     int32_t length, const char *separator) {
    if (!out || size == 0) return 0;
    if (!separator) separator = "\r\n";
    if (length < 0) {  // a count below zero shows nothing rather than a wild read
        out[0] = '\0';
        return 0;
    }
    if (!data) length = 0;
    const size_t sep_len = std::strlen(separator);
    const size_t end = size - 1;  // index of the last byte of out
    const int64_t total = int64_t{length} + kRow - (length % kRow);
    // Every row takes 52 characters, its printable column and the
    // separator. The loop below asks, before each row's tail, for 20 more
    // characters than the tail takes; a dump that fits with that margin
    // never stops early and goes the fast way.
    const uint64_t rows = static_cast<uint64_t>(total / kRow);
    const uint64_t whole = rows * (52 + uint64_t{sep_len}) + static_cast<uint64_t>(length);
    if (total <= 0x10000 && whole + 22 < end)
        return static_cast<int>(
            dump_rows(out, data, static_cast<uint32_t>(length), separator, sep_len));
    size_t p = 0;
    for (int64_t i = 0; i < total; ++i) {
        if (p + 3 >= end) break;
        int col = static_cast<int>(i % kRow);
        if (col == 0) {
            if (p + 8 >= end) break;
            p += static_cast<size_t>(
                std::snprintf(out + p, size - p, "%04x ", static_cast<unsigned>(i)));
            if (p + 3 >= end) break;  // offsets past 0xffff take more than four digits
        }
        if (col % 4 == 0) out[p++] = ' ';
        if (i < length) {
            out[p++] = kHexUpper[data[i] >> 4];
            out[p++] = kHexUpper[data[i] & 15];
        } else {
            out[p++] = ' ';
            out[p++] = ' ';
        }
        if (col == kRow - 1) {
            if (p + sep_len + 22 >= end) break;
            out[p++] = ' ';
            out[p++] = ' ';
            for (int64_t k = i - (kRow - 1); k <= i && k < length; ++k)
                out[p++] = kDump.shown[data[k]];
            std::memcpy(out + p, separator, sep_len);
            p += sep_len;
        }
    }
    out[p] = '\0';
    return static_cast<int>(p);
}

}  // extern "C"
