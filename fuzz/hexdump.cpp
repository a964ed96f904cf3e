// CAPLIB_string_hexdump on any bytes into any buffer size from 1 to 9000.
// Input: size (2 bytes), a selector byte (bit 7 null separator, bit 6 a
// negative length, bit 5 a length byte follows, else bits 0-1 give the
// separator's length), separator bytes, the data.
// The dump into a buffer that holds everything must equal a plain model of
// the row format, and every shorter dump must be a prefix of it.
#include <cstdio>

#include "caplib.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr uint32_t kMaxSize = 9000;

std::string model(const uint8_t *d, int32_t len, const char *sep) {
    std::string out;
    if (len < 0) return out;
    int64_t total = int64_t{len} + 20 - len % 20;
    for (int64_t i = 0; i < total; ++i) {
        int col = static_cast<int>(i % 20);
        char piece[16];
        if (col == 0) {
            std::snprintf(piece, sizeof piece, "%04x ", static_cast<unsigned>(i));
            out += piece;
        }
        if (col % 4 == 0) out += ' ';
        if (i < len) {
            std::snprintf(piece, sizeof piece, "%02X", d[i]);
            out += piece;
        } else {
            out += "  ";
        }
        if (col == 19) {
            out += "  ";
            for (int64_t k = i - 19; k <= i && k < len; ++k) {
                uint8_t c = d[k];
                bool shown = c >= 0x20 && c <= 0x7E && c != '<' && c != '>' && c != '&';
                out += shown ? static_cast<char>(c) : '.';
            }
            out += sep ? sep : "\r\n";
        }
    }
    return out;
}

std::string dump(const fuzz::Exact &bytes, int32_t len, uint32_t size, const char *sep) {
    fuzz::Guarded out(size);
    int n = CAPLIB_string_hexdump(out.data(), size, bytes.data(), len, sep);
    FUZZ_CHECK(out.canaries_intact());
    FUZZ_CHECK(out.terminated());
    FUZZ_CHECK(n >= 0 && static_cast<uint32_t>(n) < size);
    FUZZ_CHECK(out.data()[n] == '\0');
    std::string text(out.data(), static_cast<size_t>(n));
    FUZZ_CHECK(text.find('\0') == std::string::npos);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::Input in(data, size);
    uint32_t room = 1 + in.u16() % kMaxSize;
    uint8_t sel = in.u8();
    std::string sep_storage = fuzz::separator_text(in, sel);
    const char *sep = (sel & 0x80) ? nullptr : sep_storage.c_str();
    fuzz::Exact bytes(in.rest());
    int32_t len = static_cast<int32_t>(bytes.size());
    if (sel & 0x40) len = -1 - len;

    std::string want = model(bytes.data(), len, sep);
    size_t sep_len = sep ? std::strlen(sep) : 2;
    uint32_t full_size = static_cast<uint32_t>((bytes.size() / 20 + 1) * (80 + sep_len) + 64);
    FUZZ_CHECK(dump(bytes, len, full_size, sep) == want);
    FUZZ_CHECK(fuzz::starts_with(want, dump(bytes, len, room, sep)));
    return 0;
}
