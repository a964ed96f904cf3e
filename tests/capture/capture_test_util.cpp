#include "capture/capture_test_util.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace caplib_test {

// A name of its own in the temporary directory; create_directory tells a
// new directory from one that exists, also on Windows.
TempDir::TempDir() {
    std::random_device random;
    std::error_code ec;
    auto base = std::filesystem::temp_directory_path(ec);
    for (int attempt = 0; attempt < 100 && dir_.empty(); ++attempt)
        if (auto dir = base / ("caplib-test-" + std::to_string(random())); std::filesystem::create_directory(dir, ec))
            dir_ = dir.string();
    if (dir_.empty()) ADD_FAILURE() << "no temporary directory could be made in " << base;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

// In one read: traces of the benchmark mix run to megabytes.
std::vector<uint8_t> read_file(const std::string &path) {
    std::ifstream f(path, std::ios::binary | std::ios::ate);
    std::vector<uint8_t> bytes(f ? static_cast<size_t>(f.tellg()) : 0);
    f.seekg(0).read(reinterpret_cast<char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

std::string read_text_file(const std::string &path) {
    std::vector<uint8_t> bytes = read_file(path);
    std::string text(bytes.begin(), bytes.end());
#if defined(_WIN32)
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] != '\r' || text.compare(i + 1, 1, "\n") != 0) plain += text[i];
    text.swap(plain);
#endif
    return text;
}

void write_file(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void write_capture(const std::string &path, std::vector<OwnedRecord> &records, const CAPLIB_INPUT *info_from) {
    CAPLIB_OUTPUT *out = CAPLIB_output_zekbin(path.c_str());
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(CAPLIB_output_header(out, const_cast<CAPLIB_INPUT *>(info_from)), 0);
    for (OwnedRecord &r : records) ASSERT_EQ(CAPLIB_output_paket(out, r.get()), 0);
    CAPLIB_output_close(out, 0);
}

}  // namespace caplib_test
