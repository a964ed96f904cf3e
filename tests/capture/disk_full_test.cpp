// Writers on a full device fail no later than the first write that reaches
// it. /dev/full stands for a full disk; names get ".eth"/".log" appended,
// so links with those names lead to it. A disk that fills while a writer
// runs is a file size limit, set in a child process.
#include <gtest/gtest.h>

#if !defined(_WIN32)  // /dev/full, file size limits and symbolic links
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>

#include "caplib.h"
#include "capture/capture_test_util.h"
#include "capture/files.h"
#include "support.h"

using namespace caplib_test;

namespace {

bool have_dev_full() { return access("/dev/full", W_OK) == 0; }

OwnedRecord record(size_t data_bytes) {
    OwnedRecord r;
    r.name = "rec";
    r.data = Frame(data_bytes, 0x42);
    r.paket.layer = CAPLIB_LAYER_ETHERNET;
    return r;
}

// Bytes one record of record(n) takes in a capture file.
size_t file_bytes(size_t data_bytes) { return 48 + 16 + ((data_bytes + 15) & ~size_t{15}); }

class DiskFull : public testing::Test {
protected:
    void SetUp() override {
        if (!have_dev_full()) GTEST_SKIP() << "no /dev/full";
        std::filesystem::create_symlink("/dev/full", dir_.path("full.eth"));
        std::filesystem::create_symlink("/dev/full", dir_.path("full.log"));
    }
    TempDir dir_;
};

// The caller's stream with its own buffering: the record whose bytes no
// longer fit the stream's buffer is the first write to reach the device.
TEST_F(DiskFull, CallersStreamFailsAtTheFirstWriteThatReachesTheDevice) {
    struct Case {
        const char *what;
        int mode;
        size_t buffer;
    } cases[] = {{"unbuffered", _IONBF, 0}, {"1 KiB buffer", _IOFBF, 1024}, {"8 KiB buffer", _IOFBF, 8192}};
    for (const Case &c : cases) {
        FILE *f = std::fopen("/dev/full", "wb");
        ASSERT_NE(f, nullptr);
        std::vector<char> buffer(c.buffer + 1);  // outlives the stream: closed below
        ASSERT_EQ(std::setvbuf(f, c.buffer ? buffer.data() : nullptr, c.mode, c.buffer), 0);
        CAPLIB_OUTPUT *out = CAPLIB_output_zekbin_filepointer(f);
        ASSERT_NE(out, nullptr);
        // No header first: the records alone fill the buffer.
        size_t written = 0;
        int failed_at = -1;
        for (int i = 0; i < 100 && failed_at < 0; ++i) {
            OwnedRecord r = record(100);
            int rc = CAPLIB_output_paket(out, r.get());
            written += file_bytes(100);
            if (rc != 0) {
                EXPECT_EQ(rc, CAPLIB_ERR_WRITE) << c.what;
                failed_at = i;
            } else {
                EXPECT_LE(written, c.buffer) << c.what << ": record " << i << " reached the device unreported";
            }
        }
        EXPECT_GE(failed_at, 0) << c.what;
        // A failed stream stays failed.
        OwnedRecord again = record(1);
        EXPECT_EQ(CAPLIB_output_paket(out, again.get()), CAPLIB_ERR_WRITE) << c.what;
        CAPLIB_output_close(out, CAPLIB_ERR_WRITE);
    }
}

TEST_F(DiskFull, FileHeaderReachesTheDeviceAtOnce) {
    FILE *f = std::fopen("/dev/full", "wb");
    ASSERT_NE(f, nullptr);
    CAPLIB_OUTPUT *out = CAPLIB_output_zekbin_filepointer(f);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(CAPLIB_output_header(out, nullptr), CAPLIB_ERR_FORMAT);
    CAPLIB_output_close(out, CAPLIB_ERR_FORMAT);

    // A new file by name: the pump stops at the header, before any record.
    CAPLIB_OUTPUT *named = CAPLIB_output_zekbin(dir_.path("full").c_str());
    ASSERT_NE(named, nullptr);
    CAPLIB_INPUT *in = CAPLIB_input_zekbin(CAPLIB_SOURCE_DIR "/examples/sample.eth");
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(CAPLIB_process_data(in, named), CAPLIB_ERR_FORMAT);

    // A file to be continued that is no capture yet gets its header at
    // once: the constructor fails.
    EXPECT_EQ(CAPLIB_output_zekbin_append(dir_.path("full").c_str(), 0), nullptr);
}

TEST_F(DiskFull, TextTraceFailsAtItsFirstRecord) {
    CAPLIB_OUTPUT *out = CAPLIB_output_ascii(dir_.path("full").c_str(), "\n", CAPLIB_ASCII_HEXDUMP);
    ASSERT_NE(out, nullptr);
    CAPLIB_INPUT *in = CAPLIB_input_zekbin(CAPLIB_SOURCE_DIR "/examples/sample.eth");
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(CAPLIB_process_data(in, out), CAPLIB_ERR_WRITE);
}

// The text trace on a standard output that leads to the full device (in a
// child process: the test's own output stays where it is).
int trace_to_full_stdout() {
    if (!std::freopen("/dev/full", "w", stdout)) return 2;
    CAPLIB_OUTPUT *out = CAPLIB_output_ascii("-", "\n", 0);
    OwnedRecord r = record(20);
    return out && CAPLIB_output_paket(out, r.get()) == CAPLIB_ERR_WRITE ? 0 : 1;
}

TEST_F(DiskFull, TextTraceOnStandardOutput) {
    EXPECT_EXIT(std::_Exit(trace_to_full_stdout()), testing::ExitedWithCode(0), "");
}

// Appends records of 1000 bytes under a file size limit just past the
// existing file; 0 when the record that makes the writer's stream buffer
// spill (the first write to reach the disk) fails, as it must.
int append_until_full(const std::string &name, size_t start) {
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim = {start + 100, start + 100};
    if (setrlimit(RLIMIT_FSIZE, &lim) != 0) return 2;
    CAPLIB_OUTPUT *out = CAPLIB_output_zekbin_append(name.c_str(), 0);
    if (!out) return 3;
    size_t buffered = 0;
    for (int i = 0; i < 1000; ++i) {
        OwnedRecord r = record(1000);
        int rc = CAPLIB_output_paket(out, r.get());
        buffered += file_bytes(1000);
        if (rc == CAPLIB_ERR_WRITE) return 0;
        if (rc != 0 || buffered > caplib::IO_BUFFER) return 4;  // reached the disk unreported
    }
    return 5;
}

TEST_F(DiskFull, ContinuedFileFailsWhenItsBufferSpills) {
    std::vector<OwnedRecord> first = {record(10)};
    write_capture(dir_.path("grow.eth"), first);
    const size_t start = read_file(dir_.path("grow.eth")).size();
    EXPECT_EXIT(std::_Exit(append_until_full(dir_.path("grow"), start)), testing::ExitedWithCode(0), "");
}

}  // namespace

#endif  // !_WIN32
