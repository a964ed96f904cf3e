// Records written by a capture writer read back as written: the fields the
// file keeps (16 bits where it keeps 16), name, data, information words,
// and the exact file size. Input: writer mode, three information words,
// an append limit selector, then records (flags, nine fields, name, data).
// Modes: 0 new file, 1 caller's stream, 2 continuing a missing file,
// 3 a new file continued by a second writer.
#include <unistd.h>

#include <climits>

#include "caplib.h"
#include "fuzz/capture_model.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr size_t kMaxNameChars = 65471;  // the 16-bit header length's limit
constexpr uint64_t kMaxBytes = 1 << 20;  // per input, to keep runs fast

struct Written {
    fuzz::Record record;
    CAPLIB_PAKET paket = {};
};

std::vector<Written> read_records(fuzz::Input &in, bool &second_batch_next, uint64_t &bytes) {
    std::vector<Written> out;
    second_batch_next = false;
    while (in.left() && bytes < kMaxBytes) {
        uint8_t flags = in.u8();
        Written w;
        w.record = fuzz::read_record(in, flags);
        bytes += 48 + w.record.name.size() + w.record.data.size();
        out.push_back(std::move(w));
        if (flags & 8) {
            second_batch_next = true;
            break;
        }
    }
    return out;
}

CAPLIB_PAKET *as_paket(Written &w) {
    w.paket = fuzz::as_paket(w.record);
    return &w.paket;
}

// Writes the batch; returns the records a reader must find, as the file
// keeps them, and adds their bytes to the expected size.
std::vector<fuzz::Record> write_batch(CAPLIB_OUTPUT *out, std::vector<Written> &batch, uint64_t &size) {
    std::vector<fuzz::Record> kept;
    for (Written &w : batch) {
        int rc = CAPLIB_output_paket(out, as_paket(w));
        bool too_long = w.record.has_name && w.record.name.size() > kMaxNameChars;
        FUZZ_CHECK(rc == (too_long ? CAPLIB_ERR_FORMAT : CAPLIB_OK));
        if (rc != CAPLIB_OK) continue;
        fuzz::Record r = w.record;
        r.tag &= 0xFFFF;
        r.channel &= 0xFFFF;
        r.direction = (r.direction & 0xFFFF) != 0;
        r.attribute &= 0xFFFF;
        r.layer &= 0xFFFF;
        size += 48 + (r.has_name ? fuzz::round16(r.name.size() + 1) : 0) + fuzz::round16(r.data.size());
        kept.push_back(std::move(r));
    }
    return kept;
}

uint64_t file_size(const std::string &path) {
    FILE *f = std::fopen(path.c_str(), "rb");
    FUZZ_CHECK(f != nullptr);
    std::fseek(f, 0, SEEK_END);
    long n = std::ftell(f);
    std::fclose(f);
    return static_cast<uint64_t>(n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::Input in(data, size);
    const int mode = in.u8() % 4;
    CAPLIB_INPUT info = {};
    for (uint32_t &w : info.info) w = in.u32();
    const uint8_t limit_sel = in.u8();
    uint64_t budget = 0;
    bool more = false;
    std::vector<Written> batch1 = read_records(in, more, budget);
    std::vector<Written> batch2;
    if (mode == 3 && more) batch2 = read_records(in, more, budget);

    const std::string base = fuzz::scratch_base();
    const std::string path = base + ".eth";
    unlink(path.c_str());

    CAPLIB_OUTPUT *out = nullptr;
    if (mode == 1) {
        FILE *f = std::fopen(path.c_str(), "wb");
        FUZZ_CHECK(f != nullptr);
        out = CAPLIB_output_zekbin_filepointer(f);
    } else if (mode == 2) {
        out = CAPLIB_output_zekbin_append(base.c_str(), 0);
    } else {
        out = CAPLIB_output_zekbin(base.c_str());
    }
    FUZZ_CHECK(out != nullptr);
    FUZZ_CHECK(CAPLIB_output_header(out, &info) == 0);
    uint64_t expected_size = 64;
    std::vector<fuzz::Record> want = write_batch(out, batch1, expected_size);
    CAPLIB_output_close(out, 0);
    uint32_t want_info[3] = {info.info[0], info.info[1], info.info[2]};
    if (mode == 2) want_info[0] = want_info[1] = want_info[2] = 0;  // a new file's own header
    FUZZ_CHECK(file_size(path) == expected_size);

    if (mode == 3) {
        const int64_t s = static_cast<int64_t>(expected_size);
        const int64_t limits[] = {0, -1, 1, 64, 65, s - 1, s, s + 1, INT32_MAX};
        int32_t limit = static_cast<int32_t>(limits[limit_sel % (sizeof limits / sizeof limits[0])]);
        bool continued = s > 64 && (limit == 0 || s < limit);
        out = CAPLIB_output_zekbin_append(base.c_str(), limit);
        FUZZ_CHECK(out != nullptr);
        FUZZ_CHECK(CAPLIB_output_header(out, &info) == 0);  // must not add a second file header
        if (!continued) {
            want.clear();
            expected_size = 64;
            want_info[0] = want_info[1] = want_info[2] = 0;
        }
        std::vector<fuzz::Record> more_records = write_batch(out, batch2, expected_size);
        want.insert(want.end(), more_records.begin(), more_records.end());
        CAPLIB_output_close(out, 0);
        FUZZ_CHECK(file_size(path) == expected_size);
    }

    CAPLIB_INPUT *rd = CAPLIB_input_zekbin(base.c_str());
    FUZZ_CHECK(rd != nullptr);
    for (int i = 0; i < 3; ++i) FUZZ_CHECK(rd->info[i] == want_info[i]);
    size_t count = 0;
    for (CAPLIB_PAKET *p = CAPLIB_input_first(rd); p; p = CAPLIB_input_next(rd)) {
        FUZZ_CHECK(count < want.size());
        FUZZ_CHECK(fuzz::same(*p, want[count]));
        FUZZ_CHECK(p->number == count + 1);
        ++count;
    }
    FUZZ_CHECK(count == want.size());
    CAPLIB_input_close(rd);
    return 0;
}
