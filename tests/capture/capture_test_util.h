// Temporary files and raw file bytes for the capture tests.
#pragma once

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "caplib.h"

namespace caplib_test {

// A fresh directory per test, removed with its files afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    std::string path(const std::string &name) const { return dir_ + "/" + name; }

private:
    std::string dir_;
};

std::vector<uint8_t> read_file(const std::string &path);
void write_file(const std::string &path, const std::vector<uint8_t> &bytes);
// A text trace file as the program wrote it: Windows' text mode turns each
// line feed into CR LF on the way out, and this turns it back.
std::string read_text_file(const std::string &path);

// A record with its own storage for name and data.
struct OwnedRecord {
    std::string name;
    bool has_name = true;
    std::vector<uint8_t> data;
    CAPLIB_PAKET paket = {};

    // A null name stands for a record without one.
    static OwnedRecord of(const char *name, std::vector<uint8_t> data, uint32_t layer = 1) {
        OwnedRecord r{name ? name : "", name != nullptr, std::move(data)};
        r.paket.layer = layer;
        return r;
    }
    CAPLIB_PAKET *get() {
        paket.name = has_name ? name.c_str() : nullptr;
        paket.data = data.data();
        paket.length = static_cast<uint32_t>(data.size());
        return &paket;
    }
};

// Writes the records to a new capture file through CAPLIB_output_zekbin.
void write_capture(const std::string &path, std::vector<OwnedRecord> &records,
                   const CAPLIB_INPUT *info_from = nullptr);

// A record as the reader delivered it, every field: name ("<null>" for
// none), layer, direction, number, length, orig_length, seconds,
// microseconds, data, tag, channel, attribute.
using ReadBack = std::tuple<std::string, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, int32_t, int32_t,
                            std::vector<uint8_t>, uint32_t, uint32_t, uint32_t>;

inline std::vector<ReadBack> drain(CAPLIB_INPUT *in) {
    std::vector<ReadBack> out;
    for (CAPLIB_PAKET *p = CAPLIB_input_first(in); p; p = CAPLIB_input_next(in))
        out.push_back({p->name ? p->name : "<null>", p->layer, p->direction, p->number, p->length, p->orig_length,
                       p->time.tv_sec, p->time.tv_usec, std::vector<uint8_t>(p->data, p->data + p->length), p->tag,
                       p->channel, p->attribute});
    return out;
}

}  // namespace caplib_test
