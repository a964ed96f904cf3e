// Capture files: the bytes the writer puts down, the append rules, and
// hostile files: every header field at its extremes, lengths that lie,
// names without terminator, files cut at every byte of their last record.
// The reader must deliver exactly the complete records in front of the
// damage, nothing after it, and never hold much more memory than the file
// is large.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <tuple>

#include "caplib.h"
#include "capture/files.h"
#include "support.h"

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
static size_t heap_in_use() { return __sanitizer_get_current_allocated_bytes(); }
constexpr bool kHeapCounted = true;
#elif defined(__GLIBC__)
#include <malloc.h>
static size_t heap_in_use() { return mallinfo2().uordblks + mallinfo2().hblkhd; }
constexpr bool kHeapCounted = true;
#else
static size_t heap_in_use() { return 0; }
constexpr bool kHeapCounted = false;
#endif

using namespace caplib_test;

namespace {

OwnedRecord record(const std::string &name, Frame data) { return OwnedRecord::of(name.c_str(), std::move(data)); }

TEST(CaptureFileName, ExtensionOfTheLastComponentIsReplaced) {
    struct Case {
        const char *given, *opened;
    } cases[] = {
        {"trace", "trace.eth"},   {"trace.log", "trace.eth"}, {"dir.v2/trace", "dir.v2/trace.eth"},
        {".x", ".x.eth"},         {"", "zekcap.eth"},         {"a.b.c", "a.b.eth"},
        {"c:file", "c:file.eth"}, {"d\\x.y", "d\\x.eth"},
    };
    for (const Case &c : cases) EXPECT_EQ(caplib::capture_file_name(c.given, ".eth"), c.opened) << c.given;
    EXPECT_EQ(caplib::capture_file_name(nullptr, ".eth"), "zekcap.eth");
    std::string long_name(3000, 'n');
    EXPECT_EQ(caplib::capture_file_name(long_name.c_str(), ".log"), long_name + ".log");
}

TEST(CaptureFile, BytesOfHeaderAndRecords) {
    TempDir dir;
    std::vector<OwnedRecord> recs = {record("abcd", Frame(17, 0xAB)), OwnedRecord::of(nullptr, {})};
    // Only the low 16 bits of the direction are kept.
    recs[0].paket = {.tag = 0x12345, .name = nullptr, .channel = 7, .direction = 0x10001, .attribute = 0x400, .layer = 1,
                     .time = {0x01020304, 0x0A0B0C}, .length = 0, .orig_length = 99, .data = nullptr, .number = 5};
    CAPLIB_INPUT info;
    std::memset(&info, 0xFF, sizeof info);  // the writer takes the three words, nothing behind them
    info.info[0] = 1;
    info.info[1] = 2;
    info.info[2] = 0xDEADBEEF;
    write_capture(dir.path("f.eth"), recs, &info);

    EXPECT_EQ(read_file(dir.path("f.eth")),
              cat({hex("11470000"), ascii("ZEK Capture"), hex("00 01000000 02000000 EFBEADDE"), Frame(36, 0),
                   hex("1147 4000 4523 0500 0700 0100 0004 0100 04030201 0C0B0A00 11000000 63000000 05000000"), Frame(12, 0),
                   ascii("abcd"), Frame(12, 0), Frame(17, 0xAB), Frame(15, 0), hex("1147 3000 0000 0000 0000 0000 0000 0100"), Frame(32, 0)}));
    CAPLIB_INPUT *in = CAPLIB_input_zekbin(dir.path("f.eth").c_str());
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(in->info[2], 0xDEADBEEFu);
    // The stored number is not used: records are counted.
    EXPECT_EQ(drain(in), (std::vector<ReadBack>{{"abcd", 1, 1, 1, 17, 99, 0x01020304, 0x0A0B0C, Frame(17, 0xAB), 0x2345, 7, 0x400},
                                                {"<null>", 1, 0, 2, 0, 0, 0, 0, {}, 0, 0, 0}}));
    // First again starts over, the count goes on.
    EXPECT_EQ(CAPLIB_input_first(in)->number, 3u);
    CAPLIB_input_close(in);
}

TEST(CaptureFile, NameTooLongForTheHeaderIsRefused) {
    TempDir dir;
    CAPLIB_OUTPUT *out = CAPLIB_output_zekbin(dir.path("f.eth").c_str());
    ASSERT_NE(out, nullptr);
    OwnedRecord too_long = record(std::string(65472, 'n'), hex("01")), longest = record(std::string(65471, 'n'), hex("02"));
    EXPECT_EQ(CAPLIB_output_paket(out, too_long.get()), CAPLIB_ERR_FORMAT);
    EXPECT_EQ(CAPLIB_output_paket(out, longest.get()), 0);
    CAPLIB_output_close(out, 0);
    EXPECT_EQ(read_file(dir.path("f.eth")).size(), 48 + 65472 + 16u);  // no file header: none was asked for
}

// Which files are continued, which restarted.
TEST(CaptureAppend, ContinuesOrRestartsByTheRules) {
    TempDir dir;
    std::vector<OwnedRecord> one = {record("old", hex("AA"))}, added = {record("new", hex("BB"))};
    write_capture(dir.path("base.eth"), one);
    write_capture(dir.path("new.eth"), added);
    const Frame base = read_file(dir.path("base.eth")), fresh = read_file(dir.path("new.eth"));  // 64 + 80 bytes each
    EXPECT_EQ(Frame(base.begin() + 16, base.begin() + 28), Frame(12, 0));  // no source: no information words
    struct Case {
        const char *name;
        Frame existing;
        int32_t limit;
        bool continued;
    } cases[] = {
        {"no limit", base, 0, true},  {"below the limit", base, 145, true}, {"at the limit", base, 144, false},
        {"header only", head(base, 64), 0, false}, {"missing", {}, 0, false},
        {"anything larger than a header", Frame(100, 'z'), 0, true},
    };
    for (const Case &c : cases) {
        std::string path = dir.path(std::string(c.name) + ".eth");
        if (!c.existing.empty()) write_file(path, c.existing);
        CAPLIB_OUTPUT *out = CAPLIB_output_zekbin_append(path.c_str(), c.limit);
        ASSERT_NE(out, nullptr) << c.name;
        ASSERT_EQ(CAPLIB_output_header(out, nullptr), 0);  // writes no second header
        ASSERT_EQ(CAPLIB_output_paket(out, added[0].get()), 0);
        CAPLIB_output_close(out, 0);
        EXPECT_EQ(read_file(path), c.continued ? cat({c.existing, Frame(fresh.begin() + 64, fresh.end())}) : fresh) << c.name;
    }
}

// The fields of one record header, written as given: lengths may lie.
struct RawRecord {
    uint16_t magic = 0x4711;
    std::optional<uint16_t> header_length;  // default: the true one
    uint16_t tag = 0, name_length = 0, channel = 0, direction = 0, attribute = 0, layer = 1;
    uint32_t tv_sec = 0, tv_usec = 0, length = 0, orig_length = 0, number = 0;
    Frame name_area;  // as stored (padding included)
    Frame data_area;
};

size_t round16(size_t n) { return (n + 15) & ~size_t{15}; }

Frame bytes_of(const RawRecord &r) {
    return cat({le16(r.magic), le16(r.header_length.value_or(static_cast<uint16_t>(48 + round16(r.name_length)))), le16(r.tag),
                le16(r.name_length), le16(r.channel), le16(r.direction), le16(r.attribute), le16(r.layer), le32(r.tv_sec),
                le32(r.tv_usec), le32(r.length), le32(r.orig_length), le32(r.number), Frame(12, 0), r.name_area, r.data_area});
}

// A well-formed record with a name and data.
RawRecord good(const std::string &name, Frame data) {
    RawRecord r;
    r.name_length = static_cast<uint16_t>(name.size() + 1);
    r.name_area = ascii(name);
    r.name_area.resize(round16(name.size() + 1), 0);
    r.length = static_cast<uint32_t>(data.size());
    r.data_area = std::move(data);
    r.data_area.resize(round16(r.length), 0);
    return r;
}

// The identification takes 12 bytes.
Frame file_header(uint32_t magic = 0x4711, Frame ident = cat({ascii("ZEK Capture"), {0}}), uint32_t info = 0) {
    return cat({le32(magic), ident, le32(info), le32(info), le32(info), Frame(36, 0)});
}

// The reader's view of a record that is whole.
ReadBack expected(const RawRecord &r, uint32_t number) {
    std::string name = "<null>";
    if (r.name_length) {
        std::string raw(r.name_area.begin(), r.name_area.begin() + r.name_length - 1);
        name = raw.substr(0, raw.find('\0'));
    }
    return {name, r.layer, r.direction != 0, number, r.length, r.orig_length, static_cast<int32_t>(r.tv_sec),
            static_cast<int32_t>(r.tv_usec), Frame(r.data_area.begin(), r.data_area.begin() + r.length), r.tag, r.channel, r.attribute};
}

RawRecord changed(RawRecord r, void (*change)(RawRecord &)) {
    change(r);
    return r;
}

// Records at the edges of every field: all delivered.
const std::pair<const char *, RawRecord> kExtremes[] = {
    {"every field at its maximum", changed(good("max", Frame(3, 0xEE)), [](RawRecord &r) {
         r.tag = r.channel = r.attribute = r.layer = r.direction = 0xFFFF;
         r.tv_sec = 0x80000000u, r.tv_usec = r.orig_length = r.number = 0xFFFFFFFFu;
     })},
    {"no name, no data", changed({}, [](RawRecord &r) { r.layer = 0; })},
    {"name without NUL", changed({}, [](RawRecord &r) { r.name_length = 16, r.name_area = Frame(16, 'n'); })},
    {"NUL inside the name", changed({}, [](RawRecord &r) { r.name_length = 16, r.name_area = cat({ascii("ab"), {0}, Frame(13, 'z')}); })},
    {"name of just its NUL", changed({}, [](RawRecord &r) { r.name_length = 1, r.name_area = Frame(16, 0); })},
    {"longest name", good(std::string(65471, 'L'), Frame(1, 1))},
    {"data filling its area", good("d", Frame(16, 0x44))},
    {"padding not zero", changed(good("p", Frame(1, 0x55)), [](RawRecord &r) { std::fill(r.data_area.begin() + 1, r.data_area.end(), 0xAA); })},
};

// Damaged records: neither they nor anything after them is delivered.
const RawRecord kBad = good("bad", Frame(5, 0xBB));
const std::pair<const char *, RawRecord> kDamaged[] = {
    {"magic 0", changed(kBad, [](RawRecord &r) { r.magic = 0; })},
    {"magic 0x4712", changed(kBad, [](RawRecord &r) { r.magic = 0x4712; })},
    {"magic 0xFFFF", changed(kBad, [](RawRecord &r) { r.magic = 0xFFFF; })},
    {"header length 0", changed(kBad, [](RawRecord &r) { r.header_length = 0; })},
    {"header length 48 with a name", changed(kBad, [](RawRecord &r) { r.header_length = 48; })},
    {"header length 80 for a 16-byte name area", changed(kBad, [](RawRecord &r) { r.header_length = 80; })},
    {"header length 0xFFFF", changed(kBad, [](RawRecord &r) { r.header_length = 0xFFFF; })},
    {"name length 0 under a name area", changed(kBad, [](RawRecord &r) { r.name_length = 0, r.header_length = 64; })},
    {"name length 0xFFFF", changed(kBad, [](RawRecord &r) { r.name_length = 0xFFFF; })},
    // 48 + 0xFFF0 needs 17 bits: no header length can describe the area.
    {"name area wrapping the header length", changed(kBad, [](RawRecord &r) { r.name_length = 0xFFF0, r.header_length = 48 + 0xFFF0; })},
    {"name area past the end", changed(kBad, [](RawRecord &r) { r.name_length = 0xFF00, r.header_length = 0xFF30; })},
    {"length 0xFFFF", changed(kBad, [](RawRecord &r) { r.length = 0xFFFF; })},
    {"length 0x7FFFFFFF", changed(kBad, [](RawRecord &r) { r.length = 0x7FFFFFFF; })},
    {"length 0xFFFFFFF1", changed(kBad, [](RawRecord &r) { r.length = 0xFFFFFFF1u; })},
    {"length 0xFFFFFFFF", changed(kBad, [](RawRecord &r) { r.length = 0xFFFFFFFFu; })},
};

// The reader's own object, stream buffer and the C library's stream.
constexpr size_t kReaderOverhead = caplib::IO_BUFFER + 16 * 1024;

// The heap a reader holds once it has read every record of the file.
size_t held_by_reader(const std::string &path) {
    const size_t before = heap_in_use();
    CAPLIB_INPUT *in = CAPLIB_input_zekbin(path.c_str());
    if (in && CAPLIB_input_first(in)) while (CAPLIB_input_next(in)) {}
    const size_t held = heap_in_use() - before;
    if (in) CAPLIB_input_close(in);
    return held;
}

class HostileFile : public testing::Test {
protected:
    // Every record of the file, after checking the information words and
    // that a null from next() stays null; nothing when the reader refuses
    // the file. The reader never holds much more than the file.
    std::optional<std::vector<ReadBack>> read(const Frame &bytes, uint32_t info = 0) {
        std::string path = dir_.path("hostile.eth");
        write_file(path, bytes);
        EXPECT_LE(held_by_reader(path), bytes.size() + kReaderOverhead);
        CAPLIB_INPUT *in = CAPLIB_input_zekbin(path.c_str());
        if (!in) return std::nullopt;
        for (uint32_t w : in->info) EXPECT_EQ(w, info);
        std::vector<ReadBack> out = drain(in);
        EXPECT_EQ(CAPLIB_input_next(in), nullptr);
        CAPLIB_input_close(in);
        return out;
    }
    TempDir dir_;
};

// Each record at the edges of its fields is delivered whole, and so is the
// record behind it; a damaged one is not, nor anything behind it, also
// right behind its 48-byte header, where the stream stands after the failed
// read. Cut anywhere, a record and what follows are not delivered.
TEST_F(HostileFile, RecordsWholeDamagedOrCutAtEveryByte) {
    RawRecord one = good("one", hex("0102"));
    one.direction = 0x0100;  // reads as 1
    Frame front = file_header();
    std::vector<ReadBack> want;
    for (const RawRecord &r : {one, RawRecord{}, good("three", Frame(40, 3))}) {
        front = cat({front, bytes_of(r)});
        want.push_back(expected(r, static_cast<uint32_t>(want.size() + 1)));
    }
    const RawRecord after = good("after", hex("AA"));
    auto check = [&](const char *what, const RawRecord &r, bool whole) {
        const Frame bytes = bytes_of(r);
        for (size_t cut = 0; cut < bytes.size(); ++cut) {
            // Cutting inside the longest name's area tells nothing new per byte.
            if (cut > 100 && cut + 100 < bytes.size() && cut % 997) continue;
            ASSERT_EQ(read(cat({front, head(bytes, cut)})), want) << what << " cut at " << cut;
        }
        std::vector<ReadBack> all = want;
        if (whole) all.insert(all.end(), {expected(r, 4), expected(after, 5)});
        EXPECT_EQ(read(cat({front, bytes, bytes_of(after)})), all) << what;
        if (!whole) {
            EXPECT_EQ(read(cat({front, head(bytes, 48), bytes_of(after)})), want) << what;
        }
    };
    for (const auto &[what, r] : kExtremes) check(what, r, true);
    for (const auto &[what, r] : kDamaged) check(what, r, false);
}

TEST_F(HostileFile, FileHeaders) {
    const Frame ident = cat({ascii("ZEK Capture"), {0}});
    Frame reserved = file_header();
    std::fill(reserved.begin() + 28, reserved.end(), 0xFF);
    struct Case {
        const char *what;
        Frame header;
        bool accepted;
        uint32_t info;
    } cases[] = {
        {"information words at their maximum", file_header(0x4711, ident, 0xFFFFFFFFu), true, 0xFFFFFFFFu},
        {"reserved bytes not zero", reserved, true, 0},
        {"magic 0xFFFF4711", file_header(0xFFFF4711u), false, 0},
        {"magic 0x00014711", file_header(0x00014711u), false, 0},
        {"magic 0x47110000", file_header(0x47110000u), false, 0},
        {"magic 0", file_header(0), false, 0},
        {"ident without NUL", file_header(0x4711, ascii("ZEK CaptureX")), false, 0},
        {"ident in lower case", file_header(0x4711, cat({ascii("zek capture"), {0}})), false, 0},
        {"empty ident", file_header(0x4711, Frame(12, 0)), false, 0},
    };
    Frame record = bytes_of(good("r", hex("0102")));
    for (const Case &c : cases) {
        auto got = read(cat({c.header, record}), c.info);
        ASSERT_EQ(got.has_value(), c.accepted) << c.what;
        EXPECT_EQ(got.value_or(std::vector<ReadBack>(1)).size(), 1u) << c.what;
    }
    // Cut anywhere inside the file header: no reader; no file: none either.
    for (size_t cut = 0; cut < 64; ++cut) EXPECT_FALSE(read(Frame(reserved.begin(), reserved.begin() + static_cast<long>(cut)))) << cut;
    EXPECT_EQ(read(file_header()), std::vector<ReadBack>{});
    EXPECT_EQ(CAPLIB_input_zekbin(dir_.path("missing.eth").c_str()), nullptr);
}

// Lengths that promise gigabytes in a file of a few hundred bytes must not
// make the reader hold them (read() watches); a file with one record of
// 1 MiB does hold it.
TEST_F(HostileFile, MemoryStaysWithinTheFileSize) {
    if (!kHeapCounted) GTEST_SKIP() << "counts the heap through glibc or the AddressSanitizer";
    EXPECT_TRUE(read(cat({file_header(), bytes_of(good("m", Frame(1 << 20, 7)))})));
    EXPECT_GE(held_by_reader(dir_.path("hostile.eth")), size_t{1} << 20);
}

}  // namespace
