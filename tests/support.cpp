#include "support.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>

#include "caplib.h"

namespace caplib_test {

void set_time_zone(const char *tz) {
#if defined(_WIN32)
    _putenv_s("TZ", tz ? tz : "");
    _tzset();
#else
    if (tz) {
        setenv("TZ", tz, 1);
    } else {
        unsetenv("TZ");
    }
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
    Frame out;
    int hi = -1;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) continue;
        int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                                            : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
        if (v < 0 || v > 15) ADD_FAILURE() << "bad hex digit " << c;
        if (hi < 0) {
            hi = v;
        } else {
            out.push_back(static_cast<uint8_t>(hi << 4 | v));
            hi = -1;
        }
    }
    if (hi >= 0) ADD_FAILURE() << "odd number of hex digits";
    return out;
}

Frame cat(std::initializer_list<Frame> parts) {
    Frame out;
    for (const Frame &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Frame ascii(std::string_view text) { return Frame(text.begin(), text.end()); }

std::unique_ptr<uint8_t[]> exact_copy(const uint8_t *bytes, size_t n) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[n ? n : 1]);
    if (n) std::memcpy(copy.get(), bytes, n);
    return copy;
}

namespace {

constexpr size_t kCanary = 32;
constexpr char kCanaryByte = '\x5A';

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

// Runs a decoding of an exact-size copy of the frame into exactly `room`
// bytes and returns its text after checking it.
template <typename Run>
std::string guarded(const Frame &frame, uint32_t room, Run run) {
    std::unique_ptr<uint8_t[]> data = exact_copy(frame.data(), frame.size());
    TextAtEnd buf(room);
    char *text = buf.place(room);
    run(data.get(), static_cast<uint32_t>(frame.size()), text);
    if (!sound_text("", text, room) || room == 0) return {};
    return std::string(text);
}

}  // namespace

std::string decode(uint32_t layer, const Frame &frame, uint32_t room, const char *separator) {
    keep_decoded("layer " + std::to_string(layer), frame, 1, [layer](const uint8_t *d, uint32_t n, char *t, uint32_t r) {
        CAPLIB_decode(layer, d, n, t, r, "\n");
    });
    return guarded(frame, room, [&](const uint8_t *d, uint32_t n, char *t) {
        CAPLIB_decode(layer, d, n, t, room, separator);
    });
}

std::string decode_ppp(const Frame &frame, uint32_t room) {
    keep_decoded("PPP column", frame, 0,
                 [](const uint8_t *d, uint32_t n, char *t, uint32_t r) { CAPLIB_decode_ppp(d, n, t, r); });
    return guarded(frame, room, [&](const uint8_t *d, uint32_t n, char *t) {
        CAPLIB_decode_ppp(d, n, t, room);
    });
}

namespace {

constexpr uint32_t kFullRoom = 65536;

struct Keeper {
    bool on = false;
    std::map<std::pair<std::string, Frame>, KeptFrame> frames;
};

Keeper &keeper() {
    static Keeper k;
    return k;
}

std::string hex_text(const Frame &f) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : f) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

}  // namespace

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
        if (!sweep_rooms(what + " cut to " + std::to_string(n) + " bytes", prefix.get(), n, first_room, call))
            return false;
    }
    return true;
}

void keep_decoded(const std::string &call_key, const Frame &bytes, uint32_t first_room, DecodeCall call) {
    // The sweep costs prefixes times rooms: a frame longer than a full
    // Ethernet frame is left to its own test.
    constexpr size_t kLongest = 1600;
    Keeper &k = keeper();
    if (!k.on || bytes.size() > kLongest) return;
    auto key = std::make_pair(call_key, bytes);
    if (k.frames.count(key)) return;
    const testing::TestInfo *test = testing::UnitTest::GetInstance()->current_test_info();
    std::string what = test ? std::string(test->test_suite_name()) + "." + test->name() + ": " : "";
    what += call_key + " frame " + hex_text(bytes);
    k.frames.emplace(std::move(key), KeptFrame{std::move(what), bytes, first_room, std::move(call)});
}

void set_keeping(bool on) { keeper().on = on; }

std::vector<KeptFrame> kept_frames() {
    std::vector<KeptFrame> out;
    for (auto &[key, f] : keeper().frames) out.push_back(f);
    return out;
}

std::vector<SampleFrame> &sample_frames() {
    static std::vector<SampleFrame> frames;
    return frames;
}

int add_samples(std::vector<SampleFrame> frames) {
    for (SampleFrame &f : frames) sample_frames().push_back(std::move(f));
    return 0;
}

}  // namespace caplib_test
