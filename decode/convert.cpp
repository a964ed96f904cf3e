// Hex dump and the value-to-text conversions.
#include <array>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "caplib.h"

namespace {

constexpr std::array<const char *, 9> kLayerNames = {
    "PPP", "Ethernet", "Tokenring", "IP", "IPX", "ARP", "ISAKMP", "BNEP", "RFC1483",
};

constexpr std::array<const char *, 10> kAttributeNames = {
    "Normal", "Filtered", "Spoofed", "Dropped", "Changed",
    "Before change", "Level0", "Level1", "Level2", "Level3",
};

constexpr char kHex[] = "0123456789ABCDEF";
constexpr int kRow = 20;  // bytes per dump row

bool printable(unsigned char c) { return c >= 0x20 && c <= 0x7E && c != '<' && c != '>' && c != '&'; }

// Five texts of the time ring may be held at once.
char g_time_ring[5][64];
unsigned g_time_next = 0;

}  // namespace

extern "C" {

CAPLIB_API const char *CAPLIB_layer2str(uint32_t layer) {
    return layer < kLayerNames.size() ? kLayerNames[layer] : "???";
}

CAPLIB_API const char *CAPLIB_attrib2str(uint32_t attribute) {
    return attribute < kAttributeNames.size() ? kAttributeNames[attribute] : "???";
}

CAPLIB_API const char *CAPLIB_timeval2str(const CAPLIB_TIMEVAL *time) {
    char *buf = g_time_ring[g_time_next];
    g_time_next = (g_time_next + 1) % 5;
    time_t secs = time->tv_sec;
    struct tm tm;
#if defined(_WIN32)
    bool ok = localtime_s(&tm, &secs) == 0;
#else
    bool ok = localtime_r(&secs, &tm) != nullptr;
#endif
    if (!ok) {
        std::snprintf(buf, 64, "?DATE?");
        return buf;
    }
    int ms = (time->tv_usec / 1000) % 1000;
    std::snprintf(buf, 64, "%02d.%02d.%04d %02d:%02d:%02d.%03d", tm.tm_mday, tm.tm_mon + 1,
                  tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec, ms);
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
            out[p++] = kHex[data[i] >> 4];
            out[p++] = kHex[data[i] & 15];
        } else {
            out[p++] = ' ';
            out[p++] = ' ';
        }
        if (col == kRow - 1) {
            if (p + sep_len + 22 >= end) break;
            out[p++] = ' ';
            out[p++] = ' ';
            for (int64_t k = i - (kRow - 1); k <= i && k < length; ++k)
                out[p++] = printable(data[k]) ? static_cast<char>(data[k]) : '.';
            std::memcpy(out + p, separator, sep_len);
            p += sep_len;
        }
    }
    out[p] = '\0';
    return static_cast<int>(p);
}

}  // extern "C"
