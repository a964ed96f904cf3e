// BPF filters on records, compiled by libpcap: a record is matched as
// export writes it into pcap, so an expression keeps what tcpdump keeps
// of the exported file.
#pragma once

#include <pcap/pcap.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "caplib.h"
#include "pcap_sink.h"

namespace caplib_tool {

class RecordFilter {
public:
    // Null with libpcap's message in error when the expression compiles
    // for none of export's link types.
    static std::unique_ptr<RecordFilter> make(const std::string &expression, std::string &error);
    ~RecordFilter();
    RecordFilter(const RecordFilter &) = delete;
    RecordFilter &operator=(const RecordFilter &) = delete;

    // Records of layers export does not write never match; nor do those
    // of a layer whose link type the expression does not compile for.
    bool matches(const CAPLIB_PAKET &p);
    // One line for each layer the expression did not compile for.
    std::vector<std::string> notes() const;

private:
    explicit RecordFilter(std::string expression) : expression_(std::move(expression)) {}

    // One per layer met, compiled when its first record comes.
    struct Program {
        bool made = false, compiled = false;
        uint32_t layer = 0;
        int link_type = 0;
        bpf_program code{};
        std::string error;
        uint64_t left_out = 0;
    };
    std::string expression_;
    std::array<Program, kExportLayers> programs_;
    std::vector<u_char> buffer_;
};

// A source of the records of in that filter matches; it closes in when
// closed. filter must outlive it. Null when out of memory (in closed).
CAPLIB_INPUT *filtered_input(CAPLIB_INPUT *in, RecordFilter &filter);

}  // namespace caplib_tool
