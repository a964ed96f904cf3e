#include "capture/capture_test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

namespace caplib_test {

// A name of its own in the temporary directory; create_directory tells a
// new directory from one that exists, also on Windows.
TempDir::TempDir() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    std::error_code ec;
    auto base = std::filesystem::temp_directory_path(ec);
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto dir = base / ("caplib-test-" + std::to_string(random() % 1000000000));
        if (std::filesystem::create_directory(dir, ec)) {
            dir_ = dir.string();
            return;
        }
    }
    ADD_FAILURE() << "no temporary directory could be made in " << base;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

// In one read: traces of the benchmark mix run to megabytes.
std::vector<uint8_t> read_file(const std::string &path) {
    std::vector<uint8_t> bytes;
    std::error_code ec;
    uintmax_t size = std::filesystem::file_size(path, ec);
    FILE *f = ec ? nullptr : std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    bytes.resize(static_cast<size_t>(size));
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
    return bytes;
}

std::string read_text_file(const std::string &path) {
    std::vector<uint8_t> bytes = read_file(path);
    std::string text(bytes.begin(), bytes.end());
#if defined(_WIN32)
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) plain += text[i];
    text = plain;
#endif
    return text;
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

std::ostream &operator<<(std::ostream &os, const ReadBack &r) {
    return os << "{" << r.name << " tag " << r.tag << " channel " << r.channel << " dir " << r.direction << " attr "
              << r.attribute << " layer " << r.layer << " time " << r.sec << "." << r.usec << " " << r.length << "/"
              << r.orig_length << " number " << r.number << " " << r.data.size() << " bytes}";
}

std::vector<ReadBack> drain(CAPLIB_INPUT *in) {
    std::vector<ReadBack> out;
    for (CAPLIB_PAKET *p = CAPLIB_input_first(in); p; p = CAPLIB_input_next(in))
        out.push_back({p->name ? p->name : "<null>", p->layer, p->direction, p->number, p->length, p->orig_length,
                       p->time.tv_sec, p->time.tv_usec, std::vector<uint8_t>(p->data, p->data + p->length), p->tag,
                       p->channel, p->attribute});
    return out;
}

std::optional<std::vector<ReadBack>> read_capture(const std::string &path) {
    CAPLIB_INPUT *in = CAPLIB_input_zekbin(path.c_str());
    if (!in) return std::nullopt;
    std::vector<ReadBack> out = drain(in);
    CAPLIB_input_close(in);
    return out;
}

}  // namespace caplib_test
