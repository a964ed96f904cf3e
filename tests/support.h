// Helpers shared by the unit tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace caplib_test {

using Frame = std::vector<uint8_t>;

// "45 00 00 54" or "45000054" -> bytes. Blanks and newlines are ignored.
Frame hex(std::string_view text);
// Concatenation of byte runs.
Frame cat(std::initializer_list<Frame> parts);
// The bytes of a text, without terminator.
Frame ascii(std::string_view text);

// CAPLIB_decode over an exact-size copy of the frame (so that sanitizers
// catch any read past it) into a buffer of exactly `room` bytes guarded
// by canaries; fails the test when a byte past room changes.
std::string decode(uint32_t layer, const Frame &frame, uint32_t room = 8192,
                   const char *separator = "\n");
// CAPLIB_decode_ppp the same way.
std::string decode_ppp(const Frame &frame, uint32_t room = 8192);

// Frames that every decoder family contributes to the sweeps over rooms
// and truncations (and to the fuzz seeds).
struct SampleFrame {
    std::string name;
    uint32_t layer;
    Frame bytes;
};
std::vector<SampleFrame> &sample_frames();
int add_samples(std::vector<SampleFrame> frames);

// Sets the time zone of local times (TZ), or removes it for null; the same
// on POSIX systems and on Windows.
void set_time_zone(const char *tz);

}  // namespace caplib_test
