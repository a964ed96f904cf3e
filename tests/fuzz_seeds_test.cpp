// Writes the fuzz seed corpora from the shared sample frames and the
// bundled sample capture, before the tests run, when CAPLIB_SEED_DIR names
// the directory (scripts/fuzz --seeds). Not a test of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "caplib.h"
#include "capture/capture_test_util.h"
#include "support.h"

using namespace caplib_test;

namespace {

namespace fs = std::filesystem;

Frame be16(uint32_t v) { return {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)}; }
Frame be32(uint32_t v) { return cat({be16(v >> 16), be16(v & 0xFFFF)}); }

class Seeds {
public:
    explicit Seeds(fs::path root) : root_(std::move(root)) {}

    void add(const std::string &target, std::string name, const Frame &bytes) {
        for (char &c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') c = '_';
        std::string unique = name;
        for (int i = 2; !names_.insert(target + "/" + unique).second; ++i) unique = name + "-" + std::to_string(i);
        fs::create_directories(root_ / target);
        write_file((root_ / target / unique).string(), bytes);
    }

private:
    fs::path root_;
    std::set<std::string> names_;
};

// decode: layer, room, separator selector and bytes, frame.
Frame decode_seed(uint32_t layer, const Frame &frame, uint32_t room = 8192) {
    return cat({{static_cast<uint8_t>(layer)}, be16(room - 1), {0x01, '\n'}, frame});
}
// decode_ppp: room, frame.
Frame ppp_seed(const Frame &frame, uint32_t room = 8192) { return cat({be16(room), frame}); }

// roundtrip: one record with every field set from the sample.
Frame roundtrip_record(uint8_t flags, const CAPLIB_PAKET &p) {
    std::string name = p.name ? p.name : "";
    uint32_t length = p.length > 255 ? 255 : p.length;
    return cat({{flags}, be32(p.tag), be32(p.channel), be32(p.direction), be32(p.attribute), be32(p.layer),
                be32(static_cast<uint32_t>(p.time.tv_sec)), be32(static_cast<uint32_t>(p.time.tv_usec)),
                be32(p.orig_length), be32(p.number), {static_cast<uint8_t>(name.size() % 64)},
                ascii(name.substr(0, name.size() % 64)), {static_cast<uint8_t>(length)},
                Frame(p.data, p.data + length)});
}

// roundtrip: a record with a long name and long data of repeated bytes.
Frame roundtrip_long(uint16_t name_len, uint16_t data_len) {
    return cat({{0x06}, Frame(36, 0xFF), be16(name_len), {'n'}, be16(data_len), {0xA5}});
}

void write_seeds(const char *dir) {
    Seeds seeds(dir);

    for (const SampleFrame &s : sample_frames()) {
        seeds.add("decode", "sample-" + s.name, decode_seed(s.layer, s.bytes));
        if (s.layer == CAPLIB_LAYER_PPP) seeds.add("decode_ppp", "sample-" + s.name, ppp_seed(s.bytes));
    }
    seeds.add("decode", "room-100", decode_seed(1, hex("FFFFFFFFFFFF 00A0C5110233 0806 0001"), 100));
    seeds.add("decode", "null-separator", cat({{1}, be16(8191), {0x80}, hex("FFFFFFFFFFFF 00A0C5110233 0800")}));
    for (const SampleFrame &s : sample_frames())
        if (s.name.find("mailslot") != std::string::npos || s.name.find("nbns") != std::string::npos)
            seeds.add("decode", "long-separator-" + s.name,
                      cat({{static_cast<uint8_t>(s.layer)}, be16(999), {0x20, 150}, Frame(150, '\n'), s.bytes}));
    seeds.add("decode_ppp", "lcp-echo", ppp_seed(hex("FF03C021 09020008 0A0B0C0D")));
    seeds.add("decode_ppp", "ip", ppp_seed(hex("0021 45000054")));
    seeds.add("decode_ppp", "room-8", ppp_seed(hex("FF03C021 09020008 0A0B0C0D"), 8));

    // hexdump: size, selector (separator length), separator, data.
    seeds.add("hexdump", "three-bytes", cat({be16(8191), {0x01, '\n'}, hex("413C0A")}));
    seeds.add("hexdump", "one-row", cat({be16(8191), {0x02, '\r', '\n'}, Frame(20, 0x7F)}));
    seeds.add("hexdump", "null-separator", cat({be16(8191), {0x80}, ascii("<&> printable text, sixty bytes long, ends with 0xFF"), {0xFF}}));
    seeds.add("hexdump", "size-40", cat({be16(39), {0x01, '|'}, Frame(45, 0x41)}));
    seeds.add("hexdump", "long-separator", cat({be16(999), {0x20, 100}, Frame(100, '-'), Frame(70, 0x41)}));
    seeds.add("hexdump", "negative", cat({be16(8191), {0x41, '\n'}, hex("0102")}));

    // reader: the sample capture, and a capture of every sample frame.
    const std::string sample = std::string(CAPLIB_SOURCE_DIR) + "/examples/sample.eth";
    Frame sample_bytes = read_file(sample);
    ASSERT_FALSE(sample_bytes.empty());
    seeds.add("reader", "sample.eth", sample_bytes);
    seeds.add("reader", "header-only", Frame(sample_bytes.begin(), sample_bytes.begin() + 64));
    {
        TempDir tmp;
        std::vector<OwnedRecord> records;
        for (const SampleFrame &s : sample_frames()) {
            OwnedRecord r;
            r.name = s.name;
            r.data = s.bytes;
            r.paket.layer = s.layer;
            records.push_back(r);
        }
        write_capture(tmp.path("samples.eth"), records);
        seeds.add("reader", "samples.eth", read_file(tmp.path("samples.eth")));
    }

    // decode and roundtrip from the records of the sample capture.
    CAPLIB_INPUT *in = CAPLIB_input_zekbin(sample.c_str());
    ASSERT_NE(in, nullptr);
    Frame all = {0};  // mode 0
    for (int i = 0; i < 3; ++i) all = cat({all, be32(in->info[i])});
    all.push_back(0);  // limit selector
    Frame traced;  // trace: the same records
    int n = 0;
    for (CAPLIB_PAKET *p = CAPLIB_input_first(in); p; p = CAPLIB_input_next(in), ++n) {
        traced = cat({traced, roundtrip_record(0x00, *p)});
        Frame frame(p->data, p->data + p->length);
        seeds.add("decode", "capture-" + std::to_string(n), decode_seed(p->layer, frame));
        if (p->layer == CAPLIB_LAYER_PPP) seeds.add("decode_ppp", "capture-" + std::to_string(n), ppp_seed(frame));
        all = cat({all, roundtrip_record(n == 7 ? 0x08 : 0x00, *p)});
        if (n < 4) {
            Frame one = cat({{static_cast<uint8_t>(n)}, Frame(12, 0), {static_cast<uint8_t>(n)},
                             roundtrip_record(static_cast<uint8_t>(n == 3 ? 0x08 : 0x01), *p),
                             roundtrip_long(static_cast<uint16_t>(65469 + n), static_cast<uint16_t>(1000 * n))});
            seeds.add("roundtrip", "mode-" + std::to_string(n), one);
        }
    }
    CAPLIB_input_close(in);
    all[0] = 3;  // a new file continued by a second writer
    seeds.add("roundtrip", "sample-records", all);

    // trace: flags, separator selector and bytes, records.
    seeds.add("trace", "sample-plain", cat({{0x00, 0x01, '\n'}, traced}));
    seeds.add("trace", "sample-dump-buffered", cat({{0x03, 0x02, '\r', '\n'}, traced}));
    seeds.add("trace", "null-separator-dump", cat({{0x01, 0x80}, traced}));
    // Long names: one fits the writer's line, one does not.
    seeds.add("trace", "long-names", cat({{0x00, 0x00}, roundtrip_long(8100, 20), roundtrip_long(8180, 0)}));
}

// Runs once every sample frame is registered.
class SeedWriter : public testing::Environment {
public:
    void SetUp() override {
        if (const char *dir = std::getenv("CAPLIB_SEED_DIR")) write_seeds(dir);
    }
};
[[maybe_unused]] testing::Environment *const kSeedWriter = testing::AddGlobalTestEnvironment(new SeedWriter);

}  // namespace
