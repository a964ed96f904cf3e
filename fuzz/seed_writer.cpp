// Writes the fuzz seed corpora from the unit tests' sample frames and the
// bundled sample capture when CAPLIB_SEED_DIR names the directory
// (scripts/fuzz --seeds). Linked into the unit-test program, which
// registers the sample frames, and run before its tests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "caplib.h"
#include "support.h"

using namespace caplib_test;

namespace {

namespace fs = std::filesystem;

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

// roundtrip and trace: one record with every field set from the sample.
Frame record_seed(uint8_t flags, const CAPLIB_PAKET &p) {
    std::string name = p.name ? p.name : "";
    name.resize(name.size() % 64);
    uint32_t length = p.length > 255 ? 255 : p.length;
    return cat({{flags}, be32(p.tag), be32(p.channel), be32(p.direction), be32(p.attribute), be32(p.layer),
                be32(static_cast<uint32_t>(p.time.tv_sec)), be32(static_cast<uint32_t>(p.time.tv_usec)), be32(p.orig_length),
                be32(p.number), {static_cast<uint8_t>(name.size())}, ascii(name), {static_cast<uint8_t>(length)},
                Frame(p.data, p.data + length)});
}
// A record with a long name and long data of repeated bytes.
Frame long_record(uint16_t name_len, uint16_t data_len) {
    return cat({{0x06}, Frame(36, 0xFF), be16(name_len), {'n'}, be16(data_len), {0xA5}});
}

void write_seeds(const char *dir) {
    Seeds seeds(dir);
    std::vector<OwnedRecord> records;
    for (size_t i = 0; i < sample_frames().size(); ++i) {
        const SampleFrame &s = sample_frames()[i];
        seeds.add("decode", "sample-" + s.name, decode_seed(s.layer, s.bytes));
        if (s.layer == CAPLIB_LAYER_PPP) seeds.add("decode_ppp", "sample-" + s.name, ppp_seed(s.bytes));
        if (i % 25 == 0)  // a separator longer than the room a decoder starts with
            seeds.add("decode", "long-separator-" + s.name, cat({{static_cast<uint8_t>(s.layer)}, be16(999), {0x20, 150}, Frame(150, '\n'), s.bytes}));
        records.push_back({s.name, true, s.bytes});
        records.back().paket.layer = s.layer;
    }
    seeds.add("decode", "room-100", decode_seed(1, hex("FFFFFFFFFFFF 00A0C5110233 0806 0001"), 100));
    seeds.add("decode", "null-separator", cat({{1}, be16(8191), {0x80}, hex("FFFFFFFFFFFF 00A0C5110233 0800")}));
    seeds.add("decode_ppp", "room-8", ppp_seed(hex("FF03C021 09020008 0A0B0C0D"), 8));

    // hexdump: size, selector (separator length), separator, data.
    seeds.add("hexdump", "three-bytes", cat({be16(8191), {0x01, '\n'}, hex("413C0A")}));
    seeds.add("hexdump", "one-row", cat({be16(8191), {0x02, '\r', '\n'}, Frame(20, 0x7F)}));
    seeds.add("hexdump", "null-separator", cat({be16(8191), {0x80}, ascii("<&> printable text, sixty bytes long, ends with 0xFF"), {0xFF}}));
    seeds.add("hexdump", "size-40", cat({be16(39), {0x01, '|'}, Frame(45, 0x41)}));
    seeds.add("hexdump", "long-separator", cat({be16(999), {0x20, 100}, Frame(100, '-'), Frame(70, 0x41)}));
    seeds.add("hexdump", "negative", cat({be16(8191), {0x41, '\n'}, hex("0102")}));

    // reader: the sample capture, its header alone, a capture of every sample frame.
    const std::string sample = CAPLIB_SOURCE_DIR "/examples/sample.eth";
    const Frame sample_bytes = read_file(sample);
    ASSERT_FALSE(sample_bytes.empty());
    seeds.add("reader", "sample.eth", sample_bytes);
    seeds.add("reader", "header-only", head(sample_bytes, 64));
    TempDir tmp;
    write_capture(tmp.path("samples.eth"), records);
    seeds.add("reader", "samples.eth", read_file(tmp.path("samples.eth")));

    // decode, roundtrip (mode, three information words, limit selector,
    // records) and trace (flags, separator, records) from the sample capture.
    CAPLIB_INPUT *in = CAPLIB_input_zekbin(sample.c_str());
    ASSERT_NE(in, nullptr);
    Frame all = cat({{3}, be32(in->info[0]), be32(in->info[1]), be32(in->info[2]), {0}}), traced;
    int n = 0;
    for (CAPLIB_PAKET *p = CAPLIB_input_first(in); p; p = CAPLIB_input_next(in), ++n) {
        const Frame frame(p->data, p->data + p->length);
        seeds.add("decode", "capture-" + std::to_string(n), decode_seed(p->layer, frame));
        if (p->layer == CAPLIB_LAYER_PPP) seeds.add("decode_ppp", "capture-" + std::to_string(n), ppp_seed(frame));
        traced = cat({traced, record_seed(0x00, *p)});
        all = cat({all, record_seed(n == 7 ? 0x08 : 0x00, *p)});  // a second writer from the eighth on
        if (n < 4)
            seeds.add("roundtrip", "mode-" + std::to_string(n),
                      cat({{static_cast<uint8_t>(n)}, Frame(12, 0), {static_cast<uint8_t>(n)}, record_seed(n == 3 ? 0x08 : 0x01, *p),
                           long_record(static_cast<uint16_t>(65469 + n), static_cast<uint16_t>(1000 * n))}));
    }
    CAPLIB_input_close(in);
    seeds.add("roundtrip", "sample-records", all);
    seeds.add("trace", "sample-plain", cat({{0x00, 0x01, '\n'}, traced}));
    seeds.add("trace", "sample-dump-buffered", cat({{0x03, 0x02, '\r', '\n'}, traced}));
    seeds.add("trace", "null-separator-dump", cat({{0x01, 0x80}, traced}));
    // Long names: one fits the writer's line, one does not.
    seeds.add("trace", "long-names", cat({{0x00, 0x00}, long_record(8100, 20), long_record(8180, 0)}));
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
