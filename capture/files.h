// Shared pieces of the capture file format and the file objects.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "caplib.h"

namespace caplib {

inline constexpr uint32_t FILE_MAGIC = 0x00004711;
inline constexpr uint16_t RECORD_MAGIC = 0x4711;
inline constexpr char FILE_IDENT[12] = "ZEK Capture";
inline constexpr uint32_t FILE_HEADER_SIZE = 64;
inline constexpr uint32_t RECORD_HEADER_SIZE = 48;
inline constexpr uint32_t INITIAL_BUFFER = 256;
// The record header keeps its own length plus the name area in 16 bits.
inline constexpr uint32_t MAX_NAME_AREA = 0xFFFF - RECORD_HEADER_SIZE;

// Stream buffer of the file objects: large enough that a record rarely
// costs a system call of its own and bulk copies make few calls (a system
// call costs microseconds on virtual machines), small enough to stay in
// the cache and cost little to set up for a short file.
inline constexpr size_t IO_BUFFER = 1 << 18;

// Opens a file with a stream buffer of IO_BUFFER bytes, which the caller
// frees after closing the stream (io_buffer is set to it, or null).
FILE *open_buffered(const std::string &name, const char *mode, char *&io_buffer);

constexpr uint64_t round16(uint64_t n) { return (n + 15) & ~uint64_t{15}; }

// The caller's name (or "zekcap" when null or empty) with the extension of
// its last path component replaced by ext. The first character never
// counts as a dot, so ".x" keeps its name.
std::string capture_file_name(const char *name, const char *ext);

// Little-endian stores and loads for the file format.
inline void put_le16(uint8_t *p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void put_le32(uint8_t *p, uint32_t v) {
    put_le16(p, v);
    put_le16(p + 2, v >> 16);
}

inline uint32_t get_le16(const uint8_t *p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8; }
inline uint32_t get_le32(const uint8_t *p) { return get_le16(p) | get_le16(p + 2) << 16; }

// True when h is a capture file header; its information words go to info.
inline bool read_file_header(const uint8_t (&h)[FILE_HEADER_SIZE], uint32_t (&info)[3]) {
    if (get_le32(h) != FILE_MAGIC) return false;
    for (size_t i = 0; i < sizeof FILE_IDENT; ++i)
        if (h[4 + i] != static_cast<uint8_t>(FILE_IDENT[i])) return false;
    for (int i = 0; i < 3; ++i) info[i] = get_le32(h + 16 + 4 * i);
    return true;
}

// A record header as the file holds it, checked: the fields of the
// record but its name, data and number, and the size of the name and
// data areas that follow it.
struct RecordHeader {
    CAPLIB_PAKET fields;
    uint32_t name_length;
    uint64_t name_area;
    uint64_t body;  // name area and data area
};

// False when h is no record header: a wrong magic, a header length that
// does not match the name, or areas larger than one buffer can hold.
inline bool read_record_header(const uint8_t (&h)[RECORD_HEADER_SIZE], RecordHeader &r) {
    r.name_length = get_le16(h + 6);
    r.name_area = round16(r.name_length);
    uint32_t length = get_le32(h + 24);
    r.body = r.name_area + round16(length);
    if (get_le16(h) != RECORD_MAGIC || get_le16(h + 2) != RECORD_HEADER_SIZE + r.name_area || r.body > UINT32_MAX)
        return false;
    CAPLIB_PAKET &p = r.fields;
    p = CAPLIB_PAKET{};
    p.tag = get_le16(h + 4);
    p.channel = get_le16(h + 8);
    p.direction = get_le16(h + 10) != 0;
    p.attribute = get_le16(h + 12);
    p.layer = get_le16(h + 14);
    p.time.tv_sec = static_cast<int32_t>(get_le32(h + 16));
    p.time.tv_usec = static_cast<int32_t>(get_le32(h + 20));
    p.length = length;
    p.orig_length = get_le32(h + 28);
    return true;
}

// The record whose body (r.body bytes) was read into body. A damaged
// name area may lack its NUL: the name is cut inside its area.
inline void place_record(const RecordHeader &r, uint8_t *body, CAPLIB_PAKET &p) {
    p = r.fields;
    if (r.name_length) {
        body[r.name_length - 1] = 0;
        p.name = reinterpret_cast<const char *>(body);
    }
    p.data = body + r.name_area;
}

// A growable staging buffer: grows to round16(n) when n exceeds its
// capacity and never shrinks.
struct GrowBuffer {
    uint8_t *data = nullptr;
    uint32_t capacity = 0;

    bool reserve(uint64_t n);
    void release();
};

}  // namespace caplib
