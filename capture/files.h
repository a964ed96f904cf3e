// Shared pieces of the capture file format and the file objects.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

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

// A growable staging buffer: grows to round16(n) when n exceeds its
// capacity and never shrinks.
struct GrowBuffer {
    uint8_t *data = nullptr;
    uint32_t capacity = 0;

    bool reserve(uint64_t n);
    void release();
};

}  // namespace caplib
