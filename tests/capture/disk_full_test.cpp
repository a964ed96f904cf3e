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
#include "capture/files.h"
#include "support.h"

using namespace caplib_test;

namespace {

OwnedRecord record(size_t data_bytes) { return OwnedRecord::of("rec", Frame(data_bytes, 0x42), CAPLIB_LAYER_ETHERNET); }

// Bytes one record of record(n) takes in a capture file.
size_t file_bytes(size_t data_bytes) { return 48 + 16 + ((data_bytes + 15) & ~size_t{15}); }

// Writes records of `size` bytes until one fails; the number of records
// that succeeded, or -1 when none failed.
int write_until_failure(CAPLIB_OUTPUT *out, size_t size, int most) {
    OwnedRecord r = record(size);
    for (int i = 0; i < most; ++i)
        if (int rc = CAPLIB_output_paket(out, r.get())) return rc == CAPLIB_ERR_WRITE ? i : -2;
    return -1;
}

class DiskFull : public testing::Test {
protected:
    void SetUp() override {
        if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
        for (const char *name : {"full.eth", "full.log", "full-b.log"}) std::filesystem::create_symlink("/dev/full", dir_.path(name));
    }
    TempDir dir_;
};

// The caller's stream with its own buffering: the record whose bytes no
// longer fit the stream's buffer is the first write to reach the device.
// A failed stream stays failed.
TEST_F(DiskFull, CallersStreamFailsAtTheFirstWriteThatReachesTheDevice) {
    for (size_t buffer : {0, 1024, 8192}) {
        FILE *f = std::fopen("/dev/full", "wb");
        ASSERT_NE(f, nullptr);
        std::vector<char> space(buffer + 1);  // outlives the stream: closed below
        ASSERT_EQ(std::setvbuf(f, buffer ? space.data() : nullptr, buffer ? _IOFBF : _IONBF, buffer), 0);
        CAPLIB_OUTPUT *out = CAPLIB_output_zekbin_filepointer(f);
        ASSERT_NE(out, nullptr);
        // No header first: the records alone fill the buffer.
        EXPECT_EQ(write_until_failure(out, 100, 100), static_cast<int>(buffer / file_bytes(100))) << buffer;
        EXPECT_EQ(write_until_failure(out, 1, 1), 0) << buffer;
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
    CAPLIB_INPUT *in = CAPLIB_input_zekbin(CAPLIB_SOURCE_DIR "/examples/sample.eth");
    ASSERT_TRUE(named && in);
    EXPECT_EQ(CAPLIB_process_data(in, named), CAPLIB_ERR_FORMAT);
    // A file to be continued that is no capture yet gets its header at
    // once: the constructor fails.
    EXPECT_EQ(CAPLIB_output_zekbin_append(dir_.path("full").c_str(), 0), nullptr);
}

// On a standard output that leads to the full device (in a child process:
// the test's own output stays where it is).
int trace_to_full_stdout() {
    if (!std::freopen("/dev/full", "w", stdout)) return 2;
    CAPLIB_OUTPUT *out = CAPLIB_output_ascii("-", "\n", 0);
    return out && write_until_failure(out, 20, 1) == 0 ? 0 : 1;
}

// The text trace flushes every record by default: the first fails, also on
// standard output. The buffered one fails on the record whose write meets
// the full buffer.
TEST_F(DiskFull, TextTraceFailsAtTheFirstWriteThatReachesTheDevice) {
    CAPLIB_OUTPUT *out = CAPLIB_output_ascii(dir_.path("full").c_str(), "\n", CAPLIB_ASCII_HEXDUMP);
    CAPLIB_INPUT *in = CAPLIB_input_zekbin(CAPLIB_SOURCE_DIR "/examples/sample.eth");
    ASSERT_TRUE(out && in);
    EXPECT_EQ(CAPLIB_process_data(in, out), CAPLIB_ERR_WRITE);
    for (uint32_t flags : {CAPLIB_ASCII_BUFFERED, CAPLIB_ASCII_BUFFERED | CAPLIB_ASCII_HEXDUMP}) {
        CAPLIB_OUTPUT *buffered = CAPLIB_output_ascii(dir_.path("full-b").c_str(), nullptr, flags);
        ASSERT_NE(buffered, nullptr);
        int written = write_until_failure(buffered, 100, 100000);
        EXPECT_GT(written, 0) << flags;
        EXPECT_LT(static_cast<size_t>(written) * 100, caplib::IO_BUFFER) << flags;
        CAPLIB_output_close(buffered, CAPLIB_ERR_WRITE);
    }
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
    int written = write_until_failure(out, 1000, 1000);
    return written > 0 && static_cast<size_t>(written) == caplib::IO_BUFFER / file_bytes(1000) ? 0 : 4;
}

TEST_F(DiskFull, ContinuedFileFailsWhenItsBufferSpills) {
    std::vector<OwnedRecord> first = {record(10)};
    write_capture(dir_.path("grow.eth"), first);
    // The limit lies just past the file header and that record.
    EXPECT_EXIT(std::_Exit(append_until_full(dir_.path("grow"), 64 + file_bytes(10))), testing::ExitedWithCode(0), "");
}

}  // namespace

#endif  // !_WIN32
