#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "caplib.h"
#include "capture/capture_test_util.h"
#include "capture/files.h"
#include "support.h"

using namespace caplib_test;

namespace {

OwnedRecord record(const std::string &name, Frame data, uint32_t layer = 1) {
    OwnedRecord r;
    r.name = name;
    r.data = std::move(data);
    r.paket.layer = layer;
    return r;
}

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

TEST(CaptureFile, BytesOfHeaderAndRecord) {
    TempDir dir;
    std::vector<OwnedRecord> recs = {record("abcd", Frame(17, 0xAB))};
    OwnedRecord &r = recs[0];
    r.paket.tag = 0x12345;
    r.paket.channel = 7;
    r.paket.direction = 0x10000;  // only the low 16 bits are kept
    r.paket.attribute = 4;
    r.paket.time = {0x01020304, 0x0A0B0C};
    r.paket.orig_length = 99;
    r.paket.number = 5;
    CAPLIB_INPUT info = {};
    info.info[0] = 1;
    info.info[1] = 2;
    info.info[2] = 0xDEADBEEF;
    write_capture(dir.path("f.eth"), recs, &info);

    Frame file = read_file(dir.path("f.eth"));
    Frame want = cat({hex("11470000"), ascii("ZEK Capture"), hex("00 01000000 02000000 EFBEADDE"), Frame(36, 0),
                      hex("1147 4000 4523 0500 0700 0000 0400 0100 04030201 0C0B0A00 11000000 63000000 05000000"),
                      Frame(12, 0), ascii("abcd"), Frame(12, 0), Frame(17, 0xAB), Frame(15, 0)});
    EXPECT_EQ(file, want);

    CAPLIB_INPUT *in = CAPLIB_input_zekbin(dir.path("f.eth").c_str());
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(in->info[2], 0xDEADBEEFu);
    CAPLIB_PAKET *p = CAPLIB_input_first(in);
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p->name, "abcd");
    EXPECT_EQ(p->tag, 0x2345u);
    EXPECT_EQ(p->direction, 0u);
    EXPECT_EQ(p->time.tv_sec, 0x01020304);
    EXPECT_EQ(p->number, 1u);  // the stored number is not used
    EXPECT_EQ(p->length, 17u);
    EXPECT_EQ(p->orig_length, 99u);
    EXPECT_EQ(CAPLIB_input_next(in), nullptr);
    CAPLIB_input_close(in);
}

TEST(CaptureFile, RecordWithoutNameOrDataIsItsHeaderAlone) {
    TempDir dir;
    std::vector<OwnedRecord> recs = {record("", {}), record("next", hex("0102"))};
    recs[0].has_name = false;
    write_capture(dir.path("f.eth"), recs);
    EXPECT_EQ(read_file(dir.path("f.eth")).size(), 64u + 48 + (48 + 16 + 16));
    std::vector<ReadBack> back = read_capture(dir.path("f.eth"));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].name, "<null>");
    EXPECT_EQ(back[0].length, 0u);
    EXPECT_EQ(back[1].name, "next");
    EXPECT_EQ(back[1].data, hex("0102"));
    EXPECT_EQ(back[1].number, 2u);
}

TEST(CaptureFile, RoundTripKeepsEveryField) {
    TempDir dir;
    std::vector<OwnedRecord> recs;
    for (uint32_t i = 0; i < 40; ++i) {
        recs.push_back(record(std::string(i, 'x'), Frame(i * 7, static_cast<uint8_t>(i)), i % 9));
        recs.back().paket.direction = i & 1;
    }
    write_capture(dir.path("f.eth"), recs);
    std::vector<ReadBack> back = read_capture(dir.path("f.eth"));
    ASSERT_EQ(back.size(), recs.size());
    for (size_t i = 0; i < recs.size(); ++i) {
        EXPECT_EQ(back[i].name, recs[i].name) << i;
        EXPECT_EQ(back[i].data, recs[i].data) << i;
        EXPECT_EQ(back[i].layer, recs[i].paket.layer);
        EXPECT_EQ(back[i].direction, recs[i].paket.direction);
    }
}

TEST(CaptureFile, FirstAgainRestartsButNumbersGoOn) {
    TempDir dir;
    std::vector<OwnedRecord> recs = {record("a", {}), record("b", {})};
    write_capture(dir.path("f.eth"), recs);
    CAPLIB_INPUT *in = CAPLIB_input_zekbin(dir.path("f.eth").c_str());
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(CAPLIB_input_first(in)->number, 1u);
    EXPECT_EQ(CAPLIB_input_next(in)->number, 2u);
    CAPLIB_PAKET *p = CAPLIB_input_first(in);
    EXPECT_STREQ(p->name, "a");
    EXPECT_EQ(p->number, 3u);
    CAPLIB_input_close(in);
}

Frame file_header() { return cat({hex("11470000"), ascii("ZEK Capture"), Frame(49, 0)}); }

Frame raw_record(uint16_t hdr_len, uint16_t name_len, uint32_t length, uint16_t direction = 0) {
    Frame h(48, 0);
    h[0] = 0x11;
    h[1] = 0x47;
    h[2] = static_cast<uint8_t>(hdr_len);
    h[3] = static_cast<uint8_t>(hdr_len >> 8);
    h[6] = static_cast<uint8_t>(name_len);
    h[7] = static_cast<uint8_t>(name_len >> 8);
    h[10] = static_cast<uint8_t>(direction);
    h[11] = static_cast<uint8_t>(direction >> 8);
    for (int i = 0; i < 4; ++i) h[24 + i] = static_cast<uint8_t>(length >> (8 * i));
    return h;
}

TEST(CaptureFile, ConstructorRejectsWhatIsNoCaptureFile) {
    TempDir dir;
    struct Case {
        const char *name;
        Frame bytes;
    } cases[] = {
        {"empty", {}},
        {"short header", Frame(63, 0x11)},
        {"magic with high bits", cat({hex("11470100"), ascii("ZEK Capture"), Frame(49, 0)})},
        {"wrong ident", cat({hex("11470000"), ascii("ZEK Kapture"), Frame(49, 0)})},
    };
    for (const Case &c : cases) {
        write_file(dir.path("f.eth"), c.bytes);
        EXPECT_EQ(CAPLIB_input_zekbin(dir.path("f.eth").c_str()), nullptr) << c.name;
    }
    EXPECT_EQ(CAPLIB_input_zekbin(dir.path("missing.eth").c_str()), nullptr);
    write_file(dir.path("h.eth"), file_header());
    CAPLIB_INPUT *in = CAPLIB_input_zekbin(dir.path("h.eth").c_str());
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(CAPLIB_input_first(in), nullptr);
    CAPLIB_input_close(in);
}

// A good record followed by a damaged one: the good one is delivered, then the end.
TEST(CaptureFile, DamagedRecordsEndTheDeliveryBeforeAnyAllocation) {
    TempDir dir;
    Frame good = cat({raw_record(64, 2, 3, 0x0100), ascii("a"), Frame(15, 0), hex("010203"), Frame(13, 0)});
    struct Case {
        const char *name;
        Frame damaged;
    } cases[] = {
        {"bad magic", cat({hex("1148 3000"), Frame(44, 0)})},
        {"header length mismatch", raw_record(64, 0, 0)},
        {"wrapped name area", raw_record(48, 0xFFFF, 0)},
        {"data length 0xFFFFFFFF", raw_record(48, 0, 0xFFFFFFFFu)},
        {"data area past the end", cat({raw_record(48, 0, 100), Frame(96, 0)})},
        {"name area past the end", cat({raw_record(0xFF30, 0xFF00, 0), Frame(100, 0)})},
        {"short record header", Frame(47, 0x11)},
    };
    for (const Case &c : cases) {
        write_file(dir.path("f.eth"), cat({file_header(), good, c.damaged}));
        std::vector<ReadBack> back = read_capture(dir.path("f.eth"));
        ASSERT_EQ(back.size(), 1u) << c.name;
        EXPECT_EQ(back[0].name, "a");
        EXPECT_EQ(back[0].direction, 1u);  // 0x0100 reads as 1
        EXPECT_EQ(back[0].data, hex("010203"));
    }
}

TEST(CaptureFile, NameWithoutTerminatorIsCutInsideItsArea) {
    TempDir dir;
    write_file(dir.path("f.eth"), cat({file_header(), raw_record(64, 16, 0), Frame(16, 'n')}));
    std::vector<ReadBack> back = read_capture(dir.path("f.eth"));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].name, std::string(15, 'n'));
}

TEST(CaptureFile, CutAtEveryByteDeliversTheCompleteRecords) {
    TempDir dir;
    std::vector<OwnedRecord> recs = {record("first", hex("0102030405")), record("second", Frame(33, 7)),
                                     record("third", Frame(20, 9))};
    write_capture(dir.path("full.eth"), recs);
    Frame full = read_file(dir.path("full.eth"));
    const size_t end_of_second = 64 + (48 + 16 + 16) + (48 + 16 + 48);
    for (size_t cut = end_of_second; cut < full.size(); ++cut) {
        write_file(dir.path("cut.eth"), Frame(full.begin(), full.begin() + static_cast<long>(cut)));
        EXPECT_EQ(read_capture(dir.path("cut.eth")).size(), 2u) << cut;
    }
    EXPECT_EQ(read_capture(dir.path("full.eth")).size(), 3u);
}

TEST(CaptureWriter, NameTooLongForTheHeaderIsRefused) {
    TempDir dir;
    CAPLIB_OUTPUT *out = CAPLIB_output_zekbin(dir.path("f.eth").c_str());
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(CAPLIB_output_header(out, nullptr), 0);
    OwnedRecord too_long = record(std::string(65472, 'n'), hex("01"));
    OwnedRecord longest = record(std::string(65471, 'n'), hex("02"));
    EXPECT_EQ(CAPLIB_output_paket(out, too_long.get()), CAPLIB_ERR_FORMAT);
    EXPECT_EQ(CAPLIB_output_paket(out, longest.get()), 0);
    CAPLIB_output_close(out, 0);
    std::vector<ReadBack> back = read_capture(dir.path("f.eth"));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].name.size(), 65471u);
    EXPECT_EQ(back[0].data, hex("02"));
}

TEST(CaptureWriter, FailedWritesAreReported) {
    FILE *full = std::fopen("/dev/full", "wb");
    if (!full) GTEST_SKIP() << "no /dev/full to make writes fail (Windows has none)";
    CAPLIB_OUTPUT *out = CAPLIB_output_zekbin_filepointer(full);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(CAPLIB_output_header(out, nullptr), CAPLIB_ERR_FORMAT);
    OwnedRecord r = record("n", Frame(100000, 1));
    EXPECT_EQ(CAPLIB_output_paket(out, r.get()), CAPLIB_ERR_WRITE);
    CAPLIB_output_close(out, CAPLIB_ERR_WRITE);
}

// The append writer: which files are continued, which restarted.
TEST(CaptureAppend, ContinuesOrRestartsByTheRules) {
    TempDir dir;
    std::vector<OwnedRecord> one = {record("old", hex("AA"))};
    write_capture(dir.path("base.eth"), one);
    Frame base = read_file(dir.path("base.eth"));  // 64 + 48 + 16 + 16 = 144 bytes
    Frame not_capture(100, 'z');
    struct Case {
        const char *name;
        Frame existing;
        int32_t limit;
        size_t records_before;  // kept in front of the appended record
        bool restarted;
    } cases[] = {
        {"no limit", base, 0, 1, false},
        {"below limit", base, 145, 1, false},
        {"at limit", base, 144, 0, true},
        {"header only", file_header(), 0, 0, true},
        {"missing", {}, 0, 0, true},
    };
    for (const Case &c : cases) {
        std::string path = dir.path("append-" + std::to_string(&c - cases) + ".eth");
        std::remove(path.c_str());
        if (!c.existing.empty()) write_file(path, c.existing);
        CAPLIB_OUTPUT *out = CAPLIB_output_zekbin_append(path.c_str(), c.limit);
        ASSERT_NE(out, nullptr) << c.name;
        ASSERT_EQ(CAPLIB_output_header(out, nullptr), 0);  // writes no second header
        OwnedRecord r = record("new", hex("BB"));
        ASSERT_EQ(CAPLIB_output_paket(out, r.get()), 0);
        CAPLIB_output_close(out, 0);
        std::vector<ReadBack> back = read_capture(path);
        ASSERT_EQ(back.size(), c.records_before + 1) << c.name;
        EXPECT_EQ(back.back().name, "new") << c.name;
        if (c.restarted) {
            EXPECT_EQ(read_file(path).size(), 64u + 48 + 16 + 16) << c.name;
        }
    }
    // Anything larger than a header is continued without a check.
    write_file(dir.path("junk.eth"), not_capture);
    CAPLIB_OUTPUT *out = CAPLIB_output_zekbin_append(dir.path("junk.eth").c_str(), 0);
    ASSERT_NE(out, nullptr);
    OwnedRecord r = record("new", hex("BB"));
    ASSERT_EQ(CAPLIB_output_paket(out, r.get()), 0);
    CAPLIB_output_close(out, 0);
    Frame junk = read_file(dir.path("junk.eth"));
    EXPECT_EQ(junk.size(), 100u + 48 + 16 + 16);
    EXPECT_EQ(Frame(junk.begin(), junk.begin() + 100), not_capture);
}

TEST(CaptureAppend, PumpIntoAContinuedFileStaysReadable) {
    TempDir dir;
    std::vector<OwnedRecord> a = {record("a1", hex("01")), record("a2", hex("02"))};
    write_capture(dir.path("src.eth"), a);
    write_capture(dir.path("dst.eth"), a);
    CAPLIB_INPUT *in = CAPLIB_input_zekbin(dir.path("src.eth").c_str());
    CAPLIB_OUTPUT *out = CAPLIB_output_zekbin_append(dir.path("dst.eth").c_str(), 0);
    ASSERT_TRUE(in && out);
    EXPECT_EQ(CAPLIB_process_data(in, out), 0);
    EXPECT_EQ(read_capture(dir.path("dst.eth")).size(), 4u);
}

}  // namespace
