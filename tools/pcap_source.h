// pcap and pcapng files as record sources and sinks of the caplib tool,
// read and written through libpcap. The library itself knows only its own
// capture format; these objects fill the public slots like any caller's.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "caplib.h"

namespace caplib_tool {

// A path ending in ext with a name in front of it.
inline bool has_extension(const std::string &path, std::string_view ext) {
    return path.size() > ext.size() && path.compare(path.size() - ext.size(), ext.size(), ext) == 0;
}

// libpcap's readers refuse larger frames, so the writer keeps within it.
inline constexpr uint32_t kMaxPcapFrame = 262144;

// What a pcap source met while it delivered records. The caller owns it:
// the source is gone once the pump has closed it.
struct PcapReadReport {
    uint64_t frames = 0;       // frames libpcap delivered, converted or not
    uint64_t converted = 0;
    uint64_t not_carried = 0;  // a network protocol no layer code carries
    uint64_t cut_header = 0;   // the link header itself was not captured whole
    std::string damage;        // libpcap's word when the file broke off

    uint64_t skipped() const { return not_carried + cut_header; }
    // One line on the frames left out ("" when none), for standard error.
    std::string skipped_text(const std::string &path) const;
    // One line on the damage and what was converted before it.
    std::string damage_text(const std::string &path) const;
};

// Opens a pcap or pcapng file. name: the name every record carries, or
// null for the interface name a pcapng file gives (else "if0"). Null with
// error set when libpcap cannot read the file or its link type has no
// layer code (its frames are counted into the message).
CAPLIB_INPUT *pcap_input(const std::string &path, const char *name, PcapReadReport &report,
                         std::string &error);

// The name of the only interface a pcapng file describes before its first
// frame, made printable; "" for pcap files, several or unnamed interfaces.
std::string pcapng_interface_name(const std::string &path);

struct PcapWriteReport {
    std::vector<std::pair<std::string, uint64_t>> files;  // written: name, frames
    std::map<uint32_t, uint64_t> skipped_layers;         // layers without a link type
    uint64_t too_long = 0;                                // records over kMaxPcapFrame
    std::string error;                                    // set when nothing was kept

    // One line on the records left out ("" when none).
    std::string skipped_text(const std::string &path) const;
};

// A sink writing pcap. One file when every record has the same layer,
// else one per layer beside it: OUT-ppp.pcap, OUT-ethernet.pcap, ...
// Everything is written to temporary files that are renamed into place
// when the sink is closed with result 0, and removed otherwise.
CAPLIB_OUTPUT *pcap_output(const std::string &path, PcapWriteReport &report, std::string &error);

// Every file pcap_output(path) may write.
std::vector<std::string> pcap_output_names(const std::string &path);

}  // namespace caplib_tool
