// pcap written through libpcap: layer codes to link types.
#include "pcap_sink.h"

#include <pcap/pcap.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "input.h"
#include "output_file.h"

namespace caplib_tool {

namespace {

constexpr uint32_t kCookedOutgoing = 4;
constexpr uint32_t kArphrdNone = 0xFFFE;  // no link header in front of the packet

// How each layer goes back into a pcap file. PPP has no link type that
// both tcpdump and Wireshark read with a direction: it goes without.
enum class Prefix { none, cooked };
struct LinkOut {
    uint32_t layer;
    int link_type;
    Prefix prefix;
    uint32_t protocol;   // of the cooked header
    const char *word;    // in the file name when a capture is split
};
constexpr LinkOut kLinkOut[] = {
    {CAPLIB_LAYER_PPP, 9, Prefix::none, 0, "ppp"},
    {CAPLIB_LAYER_ETHERNET, 1, Prefix::none, 0, "ethernet"},
    {CAPLIB_LAYER_TOKENRING, 6, Prefix::none, 0, "tokenring"},
    {CAPLIB_LAYER_IP, 228, Prefix::none, 0, "ip"},
    {CAPLIB_LAYER_IPX, 113, Prefix::cooked, 0x8137, "ipx"},
    {CAPLIB_LAYER_ARP, 113, Prefix::cooked, 0x0806, "arp"},
};
static_assert(std::size(kLinkOut) == kExportLayers);

const LinkOut *find_layer(uint32_t layer) {
    for (const LinkOut &l : kLinkOut)
        if (l.layer == layer) return &l;
    return nullptr;
}

struct LayerFile {
    PendingFile file;
    pcap_t *dead = nullptr;
    pcap_dumper_t *dumper = nullptr;
    uint64_t frames = 0;
};

struct PcapSink {
    CAPLIB_OUTPUT pub;  // first: the object is its own priv
    std::string path;
    std::array<LayerFile, kExportLayers> files;
    std::vector<u_char> frame;
    PcapWriteReport *report = nullptr;
};

void put16(u_char *p, uint32_t v) {
    p[0] = static_cast<u_char>(v >> 8);
    p[1] = static_cast<u_char>(v);
}

bool start_file(PcapSink *s, size_t index) {
    LayerFile &f = s->files[index];
    if (!f.file.create(s->path)) return false;
    f.dead = pcap_open_dead_with_tstamp_precision(kLinkOut[index].link_type, kMaxPcapFrame,
                                                  PCAP_TSTAMP_PRECISION_MICRO);
    if (!f.dead) {
        errno = ENOMEM;
        return false;
    }
    f.dumper = pcap_dump_fopen(f.dead, f.file.stream());
    if (!f.dumper) {
        errno = EIO;
        return false;
    }
    f.file.release_stream();  // pcap_dump_close closes it
    return true;
}

int sink_paket(CAPLIB_OUTPUT *out, CAPLIB_PAKET *p) {
    PcapSink *s = static_cast<PcapSink *>(out->priv);
    ExportFrame frame;
    switch (export_frame(*p, s->frame, frame)) {
    case ExportFit::no_link_type: ++s->report->skipped_layers[p->layer]; return CAPLIB_OK;
    case ExportFit::too_long: ++s->report->too_long; return CAPLIB_OK;
    case ExportFit::frame: break;
    }
    LayerFile &f = s->files[frame.slot];
    if (!f.dumper && !start_file(s, frame.slot)) {
        s->report->error = open_error(s->path, errno);
        return CAPLIB_ERR_WRITE;
    }
    pcap_dump(reinterpret_cast<u_char *>(f.dumper), &frame.header, frame.bytes);
    // pcap_dump says nothing: the stream's error flag tells, while errno
    // still names the cause.
    if (std::ferror(pcap_dump_file(f.dumper))) {
        s->report->error = write_error(s->path, errno);
        return CAPLIB_ERR_WRITE;
    }
    ++f.frames;
    return CAPLIB_OK;
}

// The file of one layer when a capture is split: OUT-ppp.pcap, ...
std::string layer_file_name(const std::string &path, size_t index) {
    return path.substr(0, path.size() - 5) + "-" + kLinkOut[index].word + ".pcap";
}

void sink_close(CAPLIB_OUTPUT *out, int result) {
    PcapSink *s = static_cast<PcapSink *>(out->priv);
    std::unique_ptr<PcapSink> owner(s);
    PcapWriteReport &report = *s->report;
    if (result == CAPLIB_OK && report.error.empty()) {
        // An empty capture still makes a valid (Ethernet) file.
        size_t used = 0;
        for (LayerFile &f : s->files) used += f.dumper != nullptr;
        if (used == 0 && !start_file(s, 1)) report.error = open_error(s->path, errno);
        // Every file is on disk before the first one is renamed into place.
        for (LayerFile &f : s->files) {
            if (!f.dumper || !report.error.empty()) continue;
            if (!f.file.flush()) report.error = write_error(s->path, errno);
            pcap_dump_close(f.dumper);
            f.dumper = nullptr;
        }
        for (size_t i = 0; i < kExportLayers && report.error.empty(); ++i) {
            LayerFile &f = s->files[i];
            if (!f.dead) continue;
            std::string target = used > 1 ? layer_file_name(s->path, i) : s->path;
            if (!f.file.commit(target)) {
                report.error = write_error(target, errno);
                break;
            }
            report.files.emplace_back(target, f.frames);
        }
    }
    for (LayerFile &f : s->files) {
        if (f.dumper) pcap_dump_close(f.dumper);
        if (f.dead) pcap_close(f.dead);
        f.file.discard();
    }
    if (!report.error.empty()) {
        // Nothing half: files already renamed go too.
        for (const auto &[name, frames] : report.files) unlink(name.c_str());
        report.files.clear();
    }
}

}  // namespace

ExportFit export_frame(const CAPLIB_PAKET &p, std::vector<u_char> &buffer, ExportFrame &f) {
    const LinkOut *link = find_layer(p.layer);
    if (!link) return ExportFit::no_link_type;
    uint32_t prefix = link->prefix == Prefix::cooked ? 16 : 0;
    if (p.length > kMaxPcapFrame - prefix) return ExportFit::too_long;
    f.slot = static_cast<size_t>(link - kLinkOut);
    f.link_type = link->link_type;
    f.header = pcap_pkthdr{};
    f.header.ts.tv_sec = static_cast<uint32_t>(p.time.tv_sec);
    f.header.ts.tv_usec = static_cast<uint32_t>(p.time.tv_usec);
    f.header.caplen = p.length + prefix;
    f.header.len = p.orig_length > UINT32_MAX - prefix ? UINT32_MAX : p.orig_length + prefix;
    f.bytes = p.data;
    if (prefix) {
        buffer.assign(prefix, 0);
        put16(&buffer[0], p.direction ? kCookedOutgoing : 0);
        put16(&buffer[2], kArphrdNone);
        put16(&buffer[14], link->protocol);  // no address: its length stays 0
        buffer.insert(buffer.end(), p.data, p.data + p.length);
        f.bytes = buffer.data();
    }
    return ExportFit::frame;
}

int export_link_type(size_t slot) { return kLinkOut[slot].link_type; }

std::string PcapWriteReport::skipped_text(const std::string &path) const {
    uint64_t layers = 0;
    std::string which;
    for (const auto &[layer, n] : skipped_layers) {
        layers += n;
        which += (which.empty() ? "" : ", ") + std::string(CAPLIB_layer2str(layer)) + " (" + std::to_string(n) + ")";
    }
    std::string text;
    if (layers) text = plural(layers, "record", "records") + " of layers without a pcap link type: " + which;
    if (too_long) {
        if (!text.empty()) text += "; ";
        text += plural(too_long, "record", "records") + " longer than " + std::to_string(kMaxPcapFrame) + " bytes";
    }
    return text.empty() ? "" : path + ": skipped " + text;
}

CAPLIB_OUTPUT *pcap_output(const std::string &path, PcapWriteReport &report, std::string &error) {
    if (!has_extension(path, ".pcap")) {
        error = path + ": pcap files written must have the extension .pcap";
        return nullptr;
    }
    report = PcapWriteReport{};
    PcapSink *s = new PcapSink;
    s->pub = CAPLIB_OUTPUT{2, nullptr, sink_paket, sink_close, s};
    s->path = path;
    s->report = &report;
    return &s->pub;
}

std::vector<std::string> pcap_output_names(const std::string &path) {
    std::vector<std::string> names{path};
    for (size_t i = 0; i < kExportLayers; ++i) names.push_back(layer_file_name(path, i));
    return names;
}

}  // namespace caplib_tool
