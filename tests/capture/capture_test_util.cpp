#include "capture/capture_test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace caplib_test {

TempDir::TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "caplib-test-XXXXXX").string();
    char *made = mkdtemp(templ.data());
    if (!made) ADD_FAILURE() << "mkdtemp failed";
    dir_ = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::vector<uint8_t> read_file(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

void write_file(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void write_capture(const std::string &path, std::vector<OwnedRecord> &records, const CAPLIB_INPUT *info_from) {
    CAPLIB_OUTPUT *out = CAPLIB_output_zekbin(path.c_str());
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(CAPLIB_output_header(out, const_cast<CAPLIB_INPUT *>(info_from)), 0);
    for (OwnedRecord &r : records) ASSERT_EQ(CAPLIB_output_paket(out, r.get()), 0);
    CAPLIB_output_close(out, 0);
}

std::vector<ReadBack> read_capture(const std::string &path) {
    std::vector<ReadBack> out;
    CAPLIB_INPUT *in = CAPLIB_input_zekbin(path.c_str());
    if (!in) return out;
    for (CAPLIB_PAKET *p = CAPLIB_input_first(in); p; p = CAPLIB_input_next(in))
        out.push_back({p->name ? p->name : "<null>", p->layer, p->direction, p->number, p->length,
                       std::vector<uint8_t>(p->data, p->data + p->length)});
    CAPLIB_input_close(in);
    return out;
}

}  // namespace caplib_test
