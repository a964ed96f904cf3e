// pcap files written through libpcap as a record sink of the caplib tool.
// The library itself knows only its own capture format; the sink fills the
// public slots like any caller's.
#pragma once

#include <pcap/pcap.h>

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

// A record as export writes it into pcap: the link type of its layer,
// the packet header and the bytes (the Linux cooked header in front for
// IPX and ARP). slot tells the layers with a link type apart, 0 to
// kExportLayers - 1.
inline constexpr size_t kExportLayers = 6;
struct ExportFrame {
    size_t slot;
    int link_type;
    pcap_pkthdr header;
    const u_char *bytes;
};
enum class ExportFit { frame, no_link_type, too_long };
// Fills f for record p; a header put in front is built in buffer, which
// must outlive the use of f.bytes.
ExportFit export_frame(const CAPLIB_PAKET &p, std::vector<u_char> &buffer, ExportFrame &f);
// The link type of a slot.
int export_link_type(size_t slot);

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
