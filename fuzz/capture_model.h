// A plain model of the capture file format for the file targets: what a
// reader must deliver from given file bytes, and the bytes a writer must
// produce for given records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "caplib.h"
#include "fuzz/fuzz_support.h"

namespace fuzz {

struct Record {
    uint32_t tag = 0, channel = 0, direction = 0, attribute = 0, layer = 0;
    int32_t tv_sec = 0, tv_usec = 0;
    uint32_t orig_length = 0, number = 0;
    bool has_name = false;
    std::string name;
    std::string data;
};

// One record off a fuzz input, after its flags byte: nine fields, name,
// data. Flags: 1 no name; 2 a long name (a 16-bit count of one byte);
// 4 long data the same way. Other bits are the caller's.
inline Record read_record(Input &in, uint8_t flags) {
    Record r;
    r.tag = in.u32();
    r.channel = in.u32();
    r.direction = in.u32();
    r.attribute = in.u32();
    r.layer = in.u32();
    r.tv_sec = static_cast<int32_t>(in.u32());
    r.tv_usec = static_cast<int32_t>(in.u32());
    r.orig_length = in.u32();
    r.number = in.u32();
    r.has_name = !(flags & 1);
    if (r.has_name) {
        if (flags & 2) {
            uint16_t n = in.u16();
            r.name.assign(n, static_cast<char>(in.u8() | 1));
        } else {
            r.name = in.bytes(in.u8() % 64);
            r.name = r.name.substr(0, r.name.find('\0'));
        }
    }
    if (flags & 4) {
        uint16_t n = in.u16();
        r.data.assign(n, static_cast<char>(in.u8()));
    } else {
        r.data = in.bytes(in.u8());
    }
    return r;
}

// The record as a writer is handed it; it points into r.
inline CAPLIB_PAKET as_paket(const Record &r) {
    return {r.tag, r.has_name ? r.name.c_str() : nullptr, r.channel, r.direction, r.attribute, r.layer,
            {r.tv_sec, r.tv_usec}, static_cast<uint32_t>(r.data.size()), r.orig_length,
            reinterpret_cast<const unsigned char *>(r.data.data()), r.number};
}

inline uint64_t round16(uint64_t n) { return (n + 15) & ~uint64_t{15}; }

inline uint32_t le16(const std::string &s, size_t off) {
    return uint32_t{static_cast<uint8_t>(s[off])} | uint32_t{static_cast<uint8_t>(s[off + 1])} << 8;
}
inline uint32_t le32(const std::string &s, size_t off) { return le16(s, off) | le16(s, off + 2) << 16; }

struct Capture {
    uint32_t info[3] = {0, 0, 0};
    std::vector<Record> records;
};

// The file header and every complete record in front of the first damaged
// or cut one; nothing when the file header is not a capture file header.
inline std::optional<Capture> parse(const std::string &file) {
    static const char kIdent[12] = "ZEK Capture";
    if (file.size() < 64 || le32(file, 0) != 0x4711 || file.compare(4, 12, kIdent, 12) != 0) return std::nullopt;
    Capture c;
    for (int i = 0; i < 3; ++i) c.info[i] = le32(file, 16 + 4 * static_cast<size_t>(i));
    size_t pos = 64;
    while (file.size() - pos >= 48) {
        uint32_t name_len = le16(file, pos + 6);
        uint32_t length = le32(file, pos + 24);
        uint64_t name_area = round16(name_len);
        if (le16(file, pos) != 0x4711 || le16(file, pos + 2) != 48 + name_area) break;
        uint64_t body = name_area + round16(length);
        if (body > file.size() - pos - 48) break;
        Record r;
        r.tag = le16(file, pos + 4);
        r.channel = le16(file, pos + 8);
        r.direction = le16(file, pos + 10) != 0;
        r.attribute = le16(file, pos + 12);
        r.layer = le16(file, pos + 14);
        r.tv_sec = static_cast<int32_t>(le32(file, pos + 16));
        r.tv_usec = static_cast<int32_t>(le32(file, pos + 20));
        r.orig_length = le32(file, pos + 28);
        r.has_name = name_len != 0;
        if (r.has_name) {
            // A name without its NUL ends inside its declared length.
            std::string raw = file.substr(pos + 48, name_len - 1);
            r.name = raw.substr(0, raw.find('\0'));
        }
        r.data = file.substr(pos + 48 + name_area, length);
        r.number = static_cast<uint32_t>(c.records.size() + 1);
        c.records.push_back(std::move(r));
        pos += 48 + body;
    }
    return c;
}

// Compares a delivered record with the model; the data must be readable
// for its whole length.
inline bool same(const CAPLIB_PAKET &p, const Record &r) {
    if (p.tag != r.tag || p.channel != r.channel || p.direction != r.direction || p.attribute != r.attribute ||
        p.layer != r.layer || p.time.tv_sec != r.tv_sec || p.time.tv_usec != r.tv_usec ||
        p.orig_length != r.orig_length || p.length != r.data.size())
        return false;
    if ((p.name != nullptr) != r.has_name) return false;
    if (p.name && p.name != r.name) return false;
    if (p.length && !p.data) return false;
    return p.length == 0 || std::string(reinterpret_cast<const char *>(p.data), p.length) == r.data;
}

}  // namespace fuzz
