// Helpers shared by the unit tests: frames, decoding, files and records.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "caplib.h"

namespace caplib_test {

using Frame = std::vector<uint8_t>;

// "45 00 00 54" or "45000054" -> bytes. Blanks and newlines are ignored.
Frame hex(std::string_view text);
// Concatenation of byte runs.
Frame cat(std::initializer_list<Frame> parts);
// The bytes of a text, without terminator.
Frame ascii(std::string_view text);
// The first n bytes of a frame.
Frame head(const Frame &f, size_t n);
// Numbers in network and in little-endian byte order.
Frame be16(uint32_t v);
Frame be32(uint32_t v);
Frame le16(uint32_t v);
Frame le32(uint32_t v);

// An exact-size heap copy of n bytes, so that the sanitizers catch a read
// one past the end.
std::unique_ptr<uint8_t[]> exact_copy(const uint8_t *bytes, size_t n);

// Where a frame enters the decoders: a layer code of CAPLIB_decode, or one
// of these.
inline constexpr uint32_t kColumn = 0x100;  // CAPLIB_decode_ppp
inline constexpr uint32_t kBoth = 0x101;    // layer 0, and the column: "     " and the text without separator
constexpr uint32_t from(uint32_t proto) { return 0x200 + proto; }  // the chain from a protocol id

// Decodes an exact-size copy of the frame (so that sanitizers catch any
// read past it) into a buffer of exactly `room` bytes guarded by canaries;
// fails the test when a byte past room changes.
std::string decode(uint32_t entry, const Frame &frame, uint32_t room = 8192, const char *separator = "\n");

// A frame and the exact text it decodes to.
struct Row {
    const char *name;
    uint32_t entry;
    Frame frame;
    std::string text;
    uint32_t room = 8192;
    const char *separator = "\n";
};
using Rows = std::vector<Row>;
void expect_rows(const Rows &rows);

// Frames of every decoder family for the sweeps over rooms and truncations
// and for the fuzz seeds: the rows of the tables, the NetBIOS ones behind
// Ethernet, IPv4 and their ports.
struct SampleFrame {
    std::string name;
    uint32_t layer;
    Frame bytes;
};
std::vector<SampleFrame> &sample_frames();
// Registers a table's frames as samples and returns the table.
Rows samples(Rows rows);

// One decoding of `n` bytes into `room` bytes of text.
using DecodeCall = std::function<void(const uint8_t *data, uint32_t n, char *text, uint32_t room)>;

// Decodes every prefix of the frame (each an exact-size copy, so that the
// sanitizers catch a read past it) at every room from `first_room` to the
// room its whole text needs. The text must end within room and leave every
// byte past room alone. Reports the first fault and returns false.
bool sweep_prefixes(const std::string &what, const Frame &frame, uint32_t first_room, const DecodeCall &call);
// The same for one frame at every room from `first_room`.
bool sweep_rooms(const std::string &what, const uint8_t *data, uint32_t n, uint32_t first_room,
                 const DecodeCall &call);

// Frames that decode() decodes are kept, once each with the call that
// decoded them, while keeping is on; the run ends by sweeping them.
struct KeptFrame {
    std::string what;
    Frame bytes;
    uint32_t first_room;
    DecodeCall call;
};
void set_keeping(bool on);
std::vector<KeptFrame> kept_frames();

// Sets the time zone of local times (TZ), or removes it for null; the same
// on POSIX systems and on Windows.
void set_time_zone(const char *tz);

// Puts back, when it goes, the time zone in force when it was made.
class ZoneGuard {
public:
    ZoneGuard();
    // Then sets tz.
    explicit ZoneGuard(const char *tz) : ZoneGuard() { set_time_zone(tz); }
    ~ZoneGuard();
    ZoneGuard(const ZoneGuard &) = delete;
    ZoneGuard &operator=(const ZoneGuard &) = delete;

private:
    std::string saved_;
    bool had_ = false;
};

// ---- files and records ----

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
