// Hostile capture files: every header field at its extremes, lengths that
// lie, names without terminator, files cut at every byte of their last
// record. The reader must deliver exactly the complete records in front of
// the damage, nothing after it, and never hold much more memory than the
// file is large.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "caplib.h"
#include "capture/capture_test_util.h"
#include "capture/files.h"
#include "support.h"

#if defined(__SANITIZE_ADDRESS__)
#define CAPLIB_HEAP_HOOKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CAPLIB_HEAP_HOOKS 1
#endif
#endif
#ifdef CAPLIB_HEAP_HOOKS
// From the sanitizer runtime (g++ ships no header for it).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void *, size_t),
                                                          void (*free_hook)(const volatile void *));
#endif

using namespace caplib_test;

namespace {

// The fields of one record header, written as given: lengths may lie.
struct RawRecord {
    uint16_t magic = 0x4711;
    std::optional<uint16_t> header_length;  // default: the true one
    uint16_t tag = 0, name_length = 0, channel = 0, direction = 0, attribute = 0, layer = 1;
    uint32_t tv_sec = 0, tv_usec = 0, length = 0, orig_length = 0, number = 0;
    Frame name_area;  // as stored (padding included)
    Frame data_area;
};

void le(Frame &f, size_t off, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) f[off + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

size_t round16(size_t n) { return (n + 15) & ~size_t{15}; }

Frame bytes_of(const RawRecord &r) {
    Frame h(48, 0);
    le(h, 0, r.magic, 2);
    le(h, 2, r.header_length.value_or(static_cast<uint16_t>(48 + round16(r.name_length))), 2);
    le(h, 4, r.tag, 2);
    le(h, 6, r.name_length, 2);
    le(h, 8, r.channel, 2);
    le(h, 10, r.direction, 2);
    le(h, 12, r.attribute, 2);
    le(h, 14, r.layer, 2);
    le(h, 16, r.tv_sec, 4);
    le(h, 20, r.tv_usec, 4);
    le(h, 24, r.length, 4);
    le(h, 28, r.orig_length, 4);
    le(h, 32, r.number, 4);
    return cat({h, r.name_area, r.data_area});
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

Frame file_header(uint32_t magic = 0x4711, Frame ident = cat({ascii("ZEK Capture"), {0}}),
                  uint32_t info = 0) {
    Frame h(64, 0);
    le(h, 0, magic, 4);
    std::copy(ident.begin(), ident.end(), h.begin() + 4);
    for (size_t i = 0; i < 3; ++i) le(h, 16 + 4 * i, info, 4);
    return h;
}

// What a reader delivered, every field of it.
struct Delivered {
    uint32_t tag, channel, direction, attribute, layer;
    int32_t tv_sec, tv_usec;
    uint32_t orig_length, number;
    std::optional<std::string> name;
    Frame data;
    bool operator==(const Delivered &) const = default;
};

std::ostream &operator<<(std::ostream &os, const Delivered &d) {
    return os << "{tag " << d.tag << " channel " << d.channel << " dir " << d.direction << " attr " << d.attribute
              << " layer " << d.layer << " time " << d.tv_sec << "." << d.tv_usec << " orig " << d.orig_length
              << " number " << d.number << " name " << (d.name ? *d.name : "<null>") << " " << d.data.size()
              << " bytes}";
}

// The reader's view of a record that is whole.
Delivered expected(const RawRecord &r, uint32_t number) {
    Delivered d{r.tag, r.channel, r.direction != 0, r.attribute, r.layer,
                static_cast<int32_t>(r.tv_sec), static_cast<int32_t>(r.tv_usec), r.orig_length, number,
                std::nullopt, Frame(r.data_area.begin(), r.data_area.begin() + r.length)};
    if (r.name_length) {
        std::string raw(r.name_area.begin(), r.name_area.begin() + r.name_length - 1);
        d.name = raw.substr(0, raw.find('\0'));
    }
    return d;
}

// Reads every record; nullopt when the constructor refuses the file. Also
// checks that a null from next() stays null.
std::optional<std::vector<Delivered>> read_all(const std::string &path, uint32_t info_want = 0) {
    CAPLIB_INPUT *in = CAPLIB_input_zekbin(path.c_str());
    if (!in) return std::nullopt;
    for (uint32_t w : in->info) EXPECT_EQ(w, info_want);
    std::vector<Delivered> out;
    for (CAPLIB_PAKET *p = CAPLIB_input_first(in); p; p = CAPLIB_input_next(in)) {
        Delivered d{p->tag, p->channel, p->direction, p->attribute, p->layer, p->time.tv_sec, p->time.tv_usec,
                    p->orig_length, p->number, std::nullopt, Frame(p->data, p->data + p->length)};
        if (p->name) d.name = std::string(p->name);
        out.push_back(std::move(d));
    }
    EXPECT_EQ(CAPLIB_input_next(in), nullptr);
    EXPECT_EQ(CAPLIB_input_next(in), nullptr);
    CAPLIB_input_close(in);
    return out;
}

// Records at the edges of every field: all delivered.
std::vector<std::pair<const char *, RawRecord>> extreme_records() {
    std::vector<std::pair<const char *, RawRecord>> out;
    RawRecord r = good("max", Frame(3, 0xEE));
    r.tag = r.channel = r.attribute = r.layer = r.direction = 0xFFFF;
    r.tv_sec = 0x80000000u;
    r.tv_usec = 0xFFFFFFFFu;
    r.orig_length = r.number = 0xFFFFFFFFu;
    out.push_back({"every field at its maximum", r});
    RawRecord empty;
    empty.layer = 0;
    out.push_back({"no name, no data", empty});
    RawRecord unterminated;
    unterminated.name_length = 16;
    unterminated.name_area = Frame(16, 'n');
    out.push_back({"name without NUL", unterminated});
    RawRecord inner_nul = good("ab", {});
    inner_nul.name_length = 16;
    inner_nul.name_area = cat({ascii("ab"), {0}, Frame(13, 'z')});
    out.push_back({"NUL inside the name", inner_nul});
    RawRecord only_nul;
    only_nul.name_length = 1;
    only_nul.name_area = Frame(16, 0);
    out.push_back({"name of just its NUL", only_nul});
    RawRecord longest_name = good(std::string(65471, 'L'), Frame(1, 1));
    out.push_back({"longest name", longest_name});
    RawRecord no_pad = good("d", Frame(16, 0x44));
    out.push_back({"data filling its area", no_pad});
    RawRecord dirty_pad = good("p", Frame(1, 0x55));
    std::fill(dirty_pad.data_area.begin() + 1, dirty_pad.data_area.end(), 0xAA);
    out.push_back({"padding not zero", dirty_pad});
    return out;
}

// Damaged records: neither they nor anything after them is delivered.
std::vector<std::pair<const char *, RawRecord>> damaged_records() {
    std::vector<std::pair<const char *, RawRecord>> out;
    auto with = [&](const char *name, auto change) {
        RawRecord r = good("bad", Frame(5, 0xBB));
        change(r);
        out.push_back({name, r});
    };
    with("magic 0", [](RawRecord &r) { r.magic = 0; });
    with("magic 0x4712", [](RawRecord &r) { r.magic = 0x4712; });
    with("magic 0xFFFF", [](RawRecord &r) { r.magic = 0xFFFF; });
    with("header length 0", [](RawRecord &r) { r.header_length = 0; });
    with("header length 48 with a name", [](RawRecord &r) { r.header_length = 48; });
    with("header length 80 for a 16-byte name area", [](RawRecord &r) { r.header_length = 80; });
    with("header length 0xFFFF", [](RawRecord &r) { r.header_length = 0xFFFF; });
    with("name length 0 under a name area", [](RawRecord &r) {
        r.name_length = 0;
        r.header_length = 64;
    });
    with("name length 0xFFFF", [](RawRecord &r) { r.name_length = 0xFFFF; });
    // 48 + 0xFFF0 needs 17 bits: no header length can describe the area.
    with("name area wrapping the header length", [](RawRecord &r) {
        r.name_length = 0xFFF0;
        r.header_length = static_cast<uint16_t>(48 + 0xFFF0);
    });
    with("length 0xFFFF", [](RawRecord &r) { r.length = 0xFFFF; });
    with("length 0x7FFFFFFF", [](RawRecord &r) { r.length = 0x7FFFFFFF; });
    with("length 0xFFFFFFF1", [](RawRecord &r) { r.length = 0xFFFFFFF1u; });
    with("length 0xFFFFFFFF", [](RawRecord &r) { r.length = 0xFFFFFFFFu; });
    return out;
}

#ifdef CAPLIB_HEAP_HOOKS
// Counts the heap a piece of code holds at its peak, through the
// sanitizer's allocation hooks (which see malloc, realloc, new and fopen).
class HeapPeak {
public:
    HeapPeak() {
        static bool installed = __sanitizer_install_malloc_and_free_hooks(on_malloc, on_free) != 0;
        EXPECT_TRUE(installed);
        live_ = peak_ = used_ = 0;
        on_ = true;
    }
    ~HeapPeak() { on_ = false; }
    size_t peak() const { return peak_; }

private:
    static void on_malloc(const volatile void *p, size_t n) {
        if (!on_ || used_ == kSlots) return;
        slots_[used_++] = {p, n};
        live_ += n;
        peak_ = std::max(peak_, live_);
    }
    static void on_free(const volatile void *p) {
        if (!on_) return;
        for (size_t i = 0; i < used_; ++i)
            if (slots_[i].p == p) {
                live_ -= slots_[i].n;
                slots_[i] = slots_[--used_];
                return;
            }
    }
    struct Slot {
        const volatile void *p;
        size_t n;
    };
    static constexpr size_t kSlots = 1024;
    static inline Slot slots_[kSlots];
    static inline size_t used_, live_, peak_;
    static inline bool on_;
};
#endif

// The reader's own object, stream buffer and the C library's stream.
constexpr size_t kReaderOverhead = caplib::IO_BUFFER + 16 * 1024;

void expect_bounded_memory(const std::string &path, size_t file_size, const char *what) {
#ifdef CAPLIB_HEAP_HOOKS
    size_t peak;
    {
        HeapPeak watch;
        CAPLIB_INPUT *in = CAPLIB_input_zekbin(path.c_str());
        if (in) {
            for (CAPLIB_PAKET *p = CAPLIB_input_first(in); p; p = CAPLIB_input_next(in)) {
            }
            CAPLIB_input_close(in);
        }
        peak = watch.peak();
    }
    EXPECT_LE(peak, file_size + kReaderOverhead) << what;
#else
    (void)path, (void)file_size, (void)what;
#endif
}

class HostileFile : public testing::Test {
protected:
    std::string write(const Frame &bytes) {
        std::string path = dir_.path("hostile.eth");
        write_file(path, bytes);
        return path;
    }
    TempDir dir_;
};

TEST_F(HostileFile, RecordsAtTheEdgesOfEveryFieldAreDelivered) {
    RawRecord first = good("first", hex("01020304"));
    for (const auto &[what, r] : extreme_records()) {
        RawRecord after = good("after", hex("AA"));
        Frame file = cat({file_header(), bytes_of(first), bytes_of(r), bytes_of(after)});
        std::string path = write(file);
        auto got = read_all(path);
        ASSERT_TRUE(got) << what;
        std::vector<Delivered> want = {expected(first, 1), expected(r, 2), expected(after, 3)};
        EXPECT_EQ(*got, want) << what;
        expect_bounded_memory(path, file.size(), what);
    }
}

TEST_F(HostileFile, NothingFromTheDamagedRecordOnIsDelivered) {
    RawRecord first = good("first", hex("01020304"));
    for (const auto &[what, r] : damaged_records()) {
        // A whole good record behind the damage must stay unread too, also
        // right behind the damaged 48-byte header, where the stream stands
        // after the failed read.
        Frame damaged = bytes_of(r);
        for (const Frame &bad : {damaged, Frame(damaged.begin(), damaged.begin() + 48)}) {
            Frame file = cat({file_header(), bytes_of(first), bad, bytes_of(good("after", hex("AA")))});
            std::string path = write(file);
            auto got = read_all(path);
            ASSERT_TRUE(got) << what;
            EXPECT_EQ(*got, std::vector<Delivered>{expected(first, 1)}) << what << ", " << bad.size() << " bytes";
            expect_bounded_memory(path, file.size(), what);
        }
    }
}

TEST_F(HostileFile, CutAtEveryByteOfTheLastRecord) {
    std::vector<RawRecord> before = {good("one", hex("0102")), RawRecord{}, good("three", Frame(40, 3))};
    Frame head = file_header();
    std::vector<Delivered> want;
    for (const RawRecord &r : before) {
        head = cat({head, bytes_of(r)});
        want.push_back(expected(r, static_cast<uint32_t>(want.size() + 1)));
    }
    for (const auto &[what, last] : extreme_records()) {
        Frame whole = cat({head, bytes_of(last)});
        for (size_t cut = head.size(); cut < whole.size(); ++cut) {
            // Cutting inside the longest name's area tells nothing new per byte.
            if (cut > head.size() + 100 && cut + 100 < whole.size() && cut % 997) continue;
            std::string path = write(Frame(whole.begin(), whole.begin() + static_cast<long>(cut)));
            auto got = read_all(path);
            ASSERT_TRUE(got) << what << " cut at " << cut;
            ASSERT_EQ(*got, want) << what << " cut at " << cut;
            expect_bounded_memory(path, cut, what);
        }
        auto whole_got = read_all(write(whole));
        ASSERT_TRUE(whole_got);
        EXPECT_EQ(whole_got->size(), want.size() + 1) << what;
    }
}

TEST_F(HostileFile, FileHeaders) {
    const Frame ident = cat({ascii("ZEK Capture"), {0}});
    struct Case {
        const char *what;
        Frame header;
        bool accepted;
        uint32_t info;
    } cases[] = {
        {"information words at their maximum", file_header(0x4711, ident, 0xFFFFFFFFu), true, 0xFFFFFFFFu},
        {"reserved bytes not zero", cat({Frame(28, 0), Frame(36, 0xFF)}), true, 0},
        {"magic 0xFFFF4711", file_header(0xFFFF4711u), false, 0},
        {"magic 0x47110000", file_header(0x47110000u), false, 0},
        {"magic 0", file_header(0), false, 0},
        {"ident without NUL", file_header(0x4711, ascii("ZEK CaptureX")), false, 0},
        {"ident in lower case", file_header(0x4711, cat({ascii("zek capture"), {0}})), false, 0},
        {"empty ident", file_header(0x4711, Frame(12, 0)), false, 0},
    };
    Frame record = bytes_of(good("r", hex("0102")));
    std::copy_n(file_header().begin(), 28, cases[1].header.begin());
    for (const Case &c : cases) {
        auto got = read_all(write(cat({c.header, record})), c.info);
        ASSERT_EQ(got.has_value(), c.accepted) << c.what;
        if (c.accepted) {
            EXPECT_EQ(got->size(), 1u) << c.what;
        }
    }
    // Cut anywhere inside the file header: no reader.
    Frame header = file_header();
    for (size_t cut = 0; cut < header.size(); ++cut)
        EXPECT_FALSE(read_all(write(Frame(header.begin(), header.begin() + static_cast<long>(cut))))) << cut;
    auto empty = read_all(write(header));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
}

// Lengths that promise gigabytes in a file of a few hundred bytes must not
// make the reader ask for them.
TEST_F(HostileFile, MemoryStaysWithinTheFileSize) {
#ifndef CAPLIB_HEAP_HOOKS
    GTEST_SKIP() << "counts allocations through the AddressSanitizer hooks";
#else
    for (uint32_t length : {0xFFFFu, 0x7FFFFFFFu, 0xFFFFFFF1u, 0xFFFFFFFFu}) {
        RawRecord r = good("big", Frame(16, 1));
        r.length = length;
        Frame file = cat({file_header(), bytes_of(r)});
        std::string path = write(file);
        expect_bounded_memory(path, file.size(), "huge length");
    }
    // The bound itself: a file with one record of 1 MiB does hold it.
    Frame file = cat({file_header(), bytes_of(good("m", Frame(1 << 20, 7)))});
    std::string path = write(file);
    size_t peak;
    {
        HeapPeak watch;
        auto got = read_all(path);
        peak = watch.peak();
        ASSERT_TRUE(got);
        ASSERT_EQ(got->size(), 1u);
    }
    EXPECT_GE(peak, size_t{1} << 20);
    EXPECT_LE(peak, file.size() + kReaderOverhead + (3u << 20));  // plus the test's own copy
#endif
}

}  // namespace
