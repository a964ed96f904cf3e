#include "support.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ctime>
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

namespace {

constexpr size_t kCanary = 32;
constexpr char kCanaryByte = '\x5A';

template <typename Run>
std::string guarded(const Frame &frame, uint32_t room, Run run) {
    std::unique_ptr<uint8_t[]> data(new uint8_t[frame.size() ? frame.size() : 1]);
    if (!frame.empty()) std::memcpy(data.get(), frame.data(), frame.size());
    std::vector<char> text(room + kCanary, kCanaryByte);
    run(data.get(), static_cast<uint32_t>(frame.size()), text.data());
    for (size_t i = room; i < text.size(); ++i)
        if (text[i] != kCanaryByte) {
            ADD_FAILURE() << "text written past room " << room << " at " << i;
            break;
        }
    if (room == 0) return {};
    const void *nul = std::memchr(text.data(), 0, room);
    if (!nul) {
        ADD_FAILURE() << "text not terminated within room " << room;
        return std::string(text.data(), room);
    }
    return std::string(text.data());
}

}  // namespace

std::string decode(uint32_t layer, const Frame &frame, uint32_t room, const char *separator) {
    return guarded(frame, room, [&](const uint8_t *d, uint32_t n, char *t) {
        CAPLIB_decode(layer, d, n, t, room, separator);
    });
}

std::string decode_ppp(const Frame &frame, uint32_t room) {
    return guarded(frame, room, [&](const uint8_t *d, uint32_t n, char *t) {
        CAPLIB_decode_ppp(d, n, t, room);
    });
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
