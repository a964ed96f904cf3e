#include "support.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "caplib.h"
#include "decode/dispatch.h"

namespace caplib_test {

void set_time_zone(const char *tz) {
#if defined(_WIN32)
    _putenv_s("TZ", tz ? tz : "");
    _tzset();
#else
    tz ? setenv("TZ", tz, 1) : unsetenv("TZ");
    tzset();
#endif
}

ZoneGuard::ZoneGuard() {
    const char *tz = std::getenv("TZ");
    had_ = tz != nullptr;
    if (tz) saved_ = tz;
}

ZoneGuard::~ZoneGuard() { set_time_zone(had_ ? saved_.c_str() : nullptr); }

Frame hex(std::string_view text) {
    std::string digits;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c))) digits += c;
    if (digits.size() % 2 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) ADD_FAILURE() << "bad hex " << text;
    Frame out;
    for (size_t i = 0; i + 1 < digits.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return out;
}

Frame cat(std::initializer_list<Frame> parts) {
    Frame out;
    for (const Frame &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Frame ascii(std::string_view text) { return Frame(text.begin(), text.end()); }

Frame be16(uint32_t v) { return {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)}; }
Frame be32(uint32_t v) { return cat({be16(v >> 16), be16(v & 0xFFFF)}); }
Frame le16(uint32_t v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }
Frame le32(uint32_t v) { return cat({le16(v & 0xFFFF), le16(v >> 16)}); }

Frame head(const Frame &f, size_t n) { return Frame(f.begin(), f.begin() + static_cast<long>(std::min(n, f.size()))); }

std::unique_ptr<uint8_t[]> exact_copy(const uint8_t *bytes, size_t n) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[n ? n : 1]);
    if (n) std::memcpy(copy.get(), bytes, n);
    return copy;
}

namespace {

constexpr size_t kCanary = 32;
constexpr char kCanaryByte = '\x5A';
constexpr uint32_t kFullRoom = 65536;

// A text buffer whose room lies at the end of its allocation behind the
// canaries' space, so a write just past room hits a canary and one further
// out leaves the allocation. One allocation serves every room up to its
// largest.
class TextAtEnd {
public:
    explicit TextAtEnd(size_t max_room) : size_(max_room + kCanary), buf_(new char[size_]) {}

    char *place(uint32_t room) {
        char *text = buf_.get() + size_ - kCanary - room;
        std::memset(text, kCanaryByte, room + kCanary);
        return text;
    }

private:
    size_t size_;
    std::unique_ptr<char[]> buf_;
};

// False, after reporting, when a text wrote past its room or did not end
// within it.
bool sound_text(const std::string &what, const char *text, uint32_t room) {
    for (size_t i = 0; i < kCanary; ++i)
        if (text[room + i] != kCanaryByte) {
            ADD_FAILURE() << what << "text written past room " << room << " at " << room + i;
            return false;
        }
    if (room != 0 && !std::memchr(text, 0, room)) {
        ADD_FAILURE() << what << "text not terminated within room " << room;
        return false;
    }
    return true;
}

// One decoding through the entry point `entry` names.
void run(uint32_t entry, const uint8_t *d, uint32_t n, char *t, uint32_t room, const char *sep) {
    if (entry == kColumn) {
        CAPLIB_decode_ppp(d, n, t, room);
    } else if (entry < kColumn) {
        CAPLIB_decode(entry, d, n, t, room, sep);
    } else {
        caplib::set_separator(sep);
        caplib::Text out(t, room);
        caplib::decode_chain(entry - from(0), caplib::Bytes(d, n), out);
    }
}

bool g_keeping = false;
std::map<std::pair<uint32_t, Frame>, KeptFrame> g_kept;

bool starts_with(const Frame &f, const Frame &prefix) {
    return f.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), f.begin());
}

// The sweep costs prefixes times rooms: a frame longer than a full
// Ethernet frame is left to its own test, and one whose sweep is part of
// another's (a prefix of it) goes.
void keep_decoded(uint32_t entry, const Frame &bytes) {
    if (!g_keeping || bytes.size() > 1600) return;
    for (auto it = g_kept.begin(); it != g_kept.end();) {
        if (it->first.first == entry && starts_with(it->first.second, bytes)) return;
        it = it->first.first == entry && starts_with(bytes, it->first.second) ? g_kept.erase(it) : std::next(it);
    }
    auto key = std::make_pair(entry, bytes);
    static const char digits[] = "0123456789ABCDEF";
    const testing::TestInfo *test = testing::UnitTest::GetInstance()->current_test_info();
    std::string what = test ? std::string(test->test_suite_name()) + "." + test->name() + ": " : "";
    what += "entry " + std::to_string(entry) + " frame ";
    for (uint8_t b : bytes) what += {digits[b >> 4], digits[b & 15]};
    // No decoder starts with less than 100 bytes of room.
    DecodeCall call = [entry](const uint8_t *d, uint32_t n, char *t, uint32_t room) {
        run(entry, d, n, t, room, "\n");
        if (entry != kColumn && room < 100 && t[0] != '\0') ADD_FAILURE() << "a decoder ran with room " << room;
    };
    g_kept.emplace(std::move(key), KeptFrame{std::move(what), bytes, entry == kColumn ? 0u : 1u, call});
}

}  // namespace

std::string decode(uint32_t entry, const Frame &frame, uint32_t room, const char *separator) {
    keep_decoded(entry, frame);
    std::unique_ptr<uint8_t[]> data = exact_copy(frame.data(), frame.size());
    TextAtEnd buf(room);
    char *text = buf.place(room);
    run(entry, data.get(), static_cast<uint32_t>(frame.size()), text, room, separator);
    if (!sound_text("", text, room) || room == 0) return {};
    return std::string(text);
}

void expect_rows(const Rows &rows) {
    for (const Row &r : rows) {
        EXPECT_EQ(decode(r.entry == kBoth ? 0 : r.entry, r.frame, r.room, r.separator), r.text) << r.name;
        if (r.entry != kBoth) continue;
        EXPECT_EQ(decode(kColumn, r.frame, r.room), "     " + r.text.substr(0, r.text.size() - 1)) << r.name;
    }
}

std::vector<SampleFrame> &sample_frames() {
    static std::vector<SampleFrame> frames;
    return frames;
}

// A frame that the chain takes from a NetBIOS service, behind Ethernet,
// IPv4 and UDP or TCP on the service's ports; nothing for other protocols.
Frame on_its_port(uint32_t proto, const Frame &f) {
    using namespace caplib;
    const Frame ip = hex("FFFFFFFFFFFF 00A0C5110233 0800 4500 0000 0000 0000 40"), addresses = hex("0000 C0A80005 C0A800FF");
    const Frame tcp = cat({{6}, addresses, hex("0401 008B 00000000 00000000 5018 2000 0000 0000")});
    if (proto == PROTO_NBNS) return cat({ip, {17}, addresses, hex("0089 0089 0000 0000"), f});
    if (proto == PROTO_NBDS) return cat({ip, {17}, addresses, hex("008A 008A 0000 0000"), f});
    if (proto == PROTO_NBSS) return cat({ip, tcp, f});
    if (proto == PROTO_SMB) return cat({ip, tcp, {0, 0, static_cast<uint8_t>(f.size() >> 8), static_cast<uint8_t>(f.size())}, f});
    return {};
}

Rows samples(Rows rows) {
    for (const Row &r : rows) {
        Frame link = on_its_port(r.entry - from(0), r.frame);
        if (r.entry <= kBoth) sample_frames().push_back({r.name, r.entry < kColumn ? r.entry : 0, r.frame});
        if (!link.empty()) sample_frames().push_back({r.name, 1, link});
    }
    return rows;
}

bool sweep_rooms(const std::string &what, const uint8_t *data, uint32_t n, uint32_t first_room,
                 const DecodeCall &call) {
    TextAtEnd full_buf(kFullRoom);
    char *full_text = full_buf.place(kFullRoom);
    call(data, n, full_text, kFullRoom);
    const uint32_t top = static_cast<uint32_t>(std::strlen(full_text)) + 1;
    TextAtEnd buf(top);
    for (uint32_t room = first_room; room <= top; ++room) {
        char *text = buf.place(room);
        call(data, n, text, room);
        if (!sound_text(what + ": ", text, room)) return false;
    }
    return true;
}

bool sweep_prefixes(const std::string &what, const Frame &frame, uint32_t first_room, const DecodeCall &call) {
    for (uint32_t n = 0; n <= frame.size(); ++n) {
        std::unique_ptr<uint8_t[]> prefix = exact_copy(frame.data(), n);
        const uint64_t reads = caplib::short_reads();
        if (!sweep_rooms(what + " cut to " + std::to_string(n) + " bytes", prefix.get(), n, first_room, call))
            return false;
        // A read past the captured bytes gives 0: a field shown that was never captured.
        if (caplib::short_reads() != reads) {
            ADD_FAILURE() << what << " cut to " << n << " bytes: read past the captured bytes";
            return false;
        }
    }
    return true;
}

void set_keeping(bool on) { g_keeping = on; }

std::vector<KeptFrame> kept_frames() {
    std::vector<KeptFrame> out;
    for (auto &[key, f] : g_kept) out.push_back(f);
    return out;
}

// ---- files and records ----

// A name of its own in the temporary directory; create_directory tells a
// new directory from one that exists, also on Windows.
TempDir::TempDir() {
    std::random_device random;
    std::error_code ec;
    auto base = std::filesystem::temp_directory_path(ec);
    for (int attempt = 0; attempt < 100 && dir_.empty(); ++attempt)
        if (auto dir = base / ("caplib-test-" + std::to_string(random())); std::filesystem::create_directory(dir, ec))
            dir_ = dir.string();
    if (dir_.empty()) ADD_FAILURE() << "no temporary directory could be made in " << base;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

// In one read: traces of the benchmark mix run to megabytes.
std::vector<uint8_t> read_file(const std::string &path) {
    std::ifstream f(path, std::ios::binary | std::ios::ate);
    std::vector<uint8_t> bytes(f ? static_cast<size_t>(f.tellg()) : 0);
    f.seekg(0).read(reinterpret_cast<char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

std::string read_text_file(const std::string &path) {
    std::vector<uint8_t> bytes = read_file(path);
    std::string text(bytes.begin(), bytes.end());
#if defined(_WIN32)
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] != '\r' || text.compare(i + 1, 1, "\n") != 0) plain += text[i];
    text.swap(plain);
#endif
    return text;
}

void write_file(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void write_capture(const std::string &path, std::vector<OwnedRecord> &records, const CAPLIB_INPUT *info_from) {
    CAPLIB_OUTPUT *out = CAPLIB_output_zekbin(path.c_str());
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(CAPLIB_output_header(out, const_cast<CAPLIB_INPUT *>(info_from)), 0);
    for (OwnedRecord &r : records) ASSERT_EQ(CAPLIB_output_paket(out, r.get()), 0);
    CAPLIB_output_close(out, 0);
}

}  // namespace caplib_test
