// pcap and pcapng through libpcap: link types to layer codes and back.
#include "pcap_source.h"

#include "output_file.h"

#include <pcap/pcap.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

namespace caplib_tool {
namespace {

uint32_t be16(const u_char *p) { return uint32_t{p[0]} << 8 | p[1]; }
uint32_t be32(const u_char *p) { return be16(p) << 16 | be16(p + 2); }

// How a link type's frames become records.
enum class Framing {
    plain,          // the frame is the layer's frame
    ppp_with_dir,   // a direction byte, then the PPP frame
    raw_ip,         // an IP packet; only version 4 is carried
    family,         // a 4-byte address family (either byte order), then IP
    cooked,         // Linux cooked header, the layer by its protocol type
    cooked2,        // the same in its second version
};

struct LinkIn {
    int link_type;  // as libpcap reports it
    Framing framing;
    uint32_t layer;  // for plain, ppp_with_dir, raw_ip and family
};

// libpcap reports the raw-IP link type of the file (101) as 12 on this
// system and passes 12 and 14 through; all of them are listed.
constexpr LinkIn kLinkIn[] = {
    {1, Framing::plain, CAPLIB_LAYER_ETHERNET},
    {6, Framing::plain, CAPLIB_LAYER_TOKENRING},
    {9, Framing::plain, CAPLIB_LAYER_PPP},
    {50, Framing::plain, CAPLIB_LAYER_PPP},
    {204, Framing::ppp_with_dir, CAPLIB_LAYER_PPP},
    {12, Framing::raw_ip, CAPLIB_LAYER_IP},
    {14, Framing::raw_ip, CAPLIB_LAYER_IP},
    {101, Framing::raw_ip, CAPLIB_LAYER_IP},
    {228, Framing::raw_ip, CAPLIB_LAYER_IP},
    {0, Framing::family, CAPLIB_LAYER_IP},
    {108, Framing::family, CAPLIB_LAYER_IP},
    {113, Framing::cooked, 0},
    {276, Framing::cooked2, 0},
};

struct CookedProtocol {
    uint32_t protocol;
    uint32_t layer;
};
constexpr CookedProtocol kCookedProtocols[] = {
    {0x0800, CAPLIB_LAYER_IP},
    {0x8137, CAPLIB_LAYER_IPX},
    {0x0806, CAPLIB_LAYER_ARP},
};

constexpr uint32_t kAfInet = 2;  // the same on every system that writes these files
constexpr uint32_t kCookedOutgoing = 4;
constexpr uint32_t kArphrdNone = 0xFFFE;  // no link header in front of the packet

const LinkIn *find_link(int link_type) {
    for (const LinkIn &l : kLinkIn)
        if (l.link_type == link_type) return &l;
    return nullptr;
}

std::optional<uint32_t> cooked_layer(uint32_t protocol) {
    for (const CookedProtocol &c : kCookedProtocols)
        if (c.protocol == protocol) return c.layer;
    return std::nullopt;
}

enum class Outcome { record, not_carried, cut_header };

// Turns one frame into the record p (data, lengths, layer, direction).
Outcome convert(const LinkIn &link, const pcap_pkthdr &h, const u_char *bytes, CAPLIB_PAKET &p) {
    uint32_t strip = 0;
    p.layer = link.layer;
    p.direction = 0;
    switch (link.framing) {
    case Framing::plain:
        break;
    case Framing::ppp_with_dir:
        if (h.caplen < 1) return Outcome::cut_header;
        p.direction = bytes[0] != 0;
        strip = 1;
        break;
    case Framing::raw_ip:
        if (h.caplen < 1) return Outcome::cut_header;
        if (bytes[0] >> 4 != 4) return Outcome::not_carried;
        break;
    case Framing::family: {
        if (h.caplen < 4) return Outcome::cut_header;
        // The null link type keeps the family in the writer's byte order.
        uint32_t family = be32(bytes);
        if (family != kAfInet && __builtin_bswap32(family) != kAfInet) return Outcome::not_carried;
        strip = 4;
        break;
    }
    case Framing::cooked:
    case Framing::cooked2: {
        bool v2 = link.framing == Framing::cooked2;
        strip = v2 ? 20 : 16;
        if (h.caplen < strip) return Outcome::cut_header;
        auto layer = cooked_layer(be16(bytes + (v2 ? 0 : 14)));
        if (!layer) return Outcome::not_carried;
        p.layer = *layer;
        p.direction = (v2 ? bytes[10] : be16(bytes)) == kCookedOutgoing;
        break;
    }
    }
    p.data = bytes + strip;
    p.length = h.caplen - strip;
    p.orig_length = h.len >= strip ? h.len - strip : 0;
    // The file keeps 32 bits of each; the bit patterns go through unchanged.
    p.time.tv_sec = static_cast<int32_t>(static_cast<uint32_t>(h.ts.tv_sec));
    p.time.tv_usec = static_cast<int32_t>(static_cast<uint32_t>(h.ts.tv_usec));
    return Outcome::record;
}

pcap_t *open_offline(const std::string &path, std::string &error) {
    char errbuf[PCAP_ERRBUF_SIZE] = "";
    pcap_t *p = pcap_open_offline_with_tstamp_precision(path.c_str(), PCAP_TSTAMP_PRECISION_MICRO, errbuf);
    if (!p) {
        std::string_view text = errbuf;
        error = text.starts_with(path + ": ") ? std::string(text) : path + ": " + std::string(text);
        if (text == "unknown file format") error = path + ": not a pcap or pcapng file (unknown file format)";
    }
    return p;
}

struct PcapSource {
    CAPLIB_INPUT pub;  // first: the object is its own priv
    CAPLIB_PAKET current{};
    pcap_t *pcap = nullptr;
    const LinkIn *link = nullptr;
    std::string path;
    std::string name;
    bool started = false;
    uint32_t delivered = 0;
    PcapReadReport *report = nullptr;
};

CAPLIB_PAKET *source_next(CAPLIB_INPUT *in) {
    PcapSource *s = static_cast<PcapSource *>(in->priv);
    if (!s->pcap) return nullptr;
    s->started = true;
    for (;;) {
        pcap_pkthdr *h = nullptr;
        const u_char *bytes = nullptr;
        int rc = pcap_next_ex(s->pcap, &h, &bytes);
        if (rc == PCAP_ERROR_BREAK) return nullptr;  // the end of the file
        if (rc != 1) {
            s->report->damage = pcap_geterr(s->pcap);
            pcap_close(s->pcap);
            s->pcap = nullptr;
            return nullptr;
        }
        ++s->report->frames;
        CAPLIB_PAKET &p = s->current;
        switch (convert(*s->link, *h, bytes, p)) {
        case Outcome::record:
            p.name = s->name.c_str();
            p.number = ++s->delivered;
            ++s->report->converted;
            return &p;
        case Outcome::not_carried: ++s->report->not_carried; break;
        case Outcome::cut_header: ++s->report->cut_header; break;
        }
    }
}

// libpcap cannot rewind a file: a second first opens it anew.
CAPLIB_PAKET *source_first(CAPLIB_INPUT *in) {
    PcapSource *s = static_cast<PcapSource *>(in->priv);
    if (s->started) {
        if (s->pcap) pcap_close(s->pcap);
        std::string error;
        s->pcap = open_offline(s->path, error);
        *s->report = PcapReadReport{};
        if (!s->pcap) {
            s->report->damage = error;
            return nullptr;
        }
    }
    return source_next(in);
}

void source_close(CAPLIB_INPUT *in) {
    PcapSource *s = static_cast<PcapSource *>(in->priv);
    if (s->pcap) pcap_close(s->pcap);
    delete s;
}

std::string printable(std::string_view s) {
    std::string out;
    for (char c : s.substr(0, 255)) out += c >= 0x20 && c < 0x7F ? c : '?';
    return out;
}

std::string plural(uint64_t n, const char *one, const char *many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string PcapReadReport::skipped_text(const std::string &path) const {
    if (!skipped()) return "";
    std::string reasons;
    if (not_carried) reasons = std::to_string(not_carried) + " not IPv4, IPX or ARP";
    if (cut_header) {
        if (!reasons.empty()) reasons += ", ";
        reasons += plural(cut_header, "with its link header cut short", "with their link headers cut short");
    }
    return path + ": " + std::to_string(skipped()) + " of " + plural(frames, "frame", "frames") +
           " skipped (" + reasons + ")";
}

std::string PcapReadReport::damage_text(const std::string &path) const {
    std::string text = path + ": damaged after " + plural(frames, "frame", "frames") + " (" + damage +
                       "); " + std::to_string(converted) + " converted";
    if (skipped()) text += ", " + std::to_string(skipped()) + " skipped";
    return text;
}

std::string pcapng_interface_name(const std::string &path) {
    constexpr uint32_t kSectionHeader = 0x0A0D0D0A, kInterface = 1, kByteOrder = 0x1A2B3C4D;
    constexpr uint32_t kOptEnd = 0, kOptName = 2;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return "";
    std::unique_ptr<FILE, int (*)(FILE *)> closer(f, std::fclose);
    // Only the blocks in front of the first frame are looked at, a few
    // small ones in any file a capture tool writes.
    constexpr size_t kLook = 65536;
    std::vector<u_char> head(kLook);
    size_t n = std::fread(head.data(), 1, head.size(), f);
    head.resize(n);
    if (n < 12 || be32(head.data()) != kSectionHeader) return "";
    bool little = be32(head.data() + 8) != kByteOrder;
    auto u16 = [&](size_t off) { return little ? uint32_t{head[off]} | uint32_t{head[off + 1]} << 8 : be16(&head[off]); };
    auto u32 = [&](size_t off) { return little ? u16(off) | u16(off + 2) << 16 : be32(&head[off]); };

    std::string name;
    int interfaces = 0;
    size_t at = 0;
    while (head.size() - at >= 12) {
        uint32_t type = u32(at), length = u32(at + 4);
        if (length < 12 || length % 4 || length > head.size() - at) break;
        if (at != 0 && type == kSectionHeader) break;
        if (type == kInterface) {
            if (++interfaces > 1) return "";
            // Options follow link type, reserved and snapshot length.
            for (size_t o = at + 16; o + 4 <= at + length - 4;) {
                uint32_t code = u16(o), len = u16(o + 2);
                if (code == kOptEnd || len > at + length - 4 - (o + 4)) break;
                if (code == kOptName) {
                    const char *text = reinterpret_cast<const char *>(&head[o + 4]);
                    name = printable(std::string_view(text, strnlen(text, len)));
                }
                o += 4 + ((len + 3) & ~3u);
            }
        } else if (at != 0) {
            break;  // the interfaces a capture tool describes come first
        }
        at += length;
    }
    return interfaces == 1 ? name : "";
}

CAPLIB_INPUT *pcap_input(const std::string &path, const char *name, PcapReadReport &report, std::string &error) {
    report = PcapReadReport{};
    pcap_t *p = open_offline(path, error);
    if (!p) return nullptr;
    int link_type = pcap_datalink(p);
    const LinkIn *link = find_link(link_type);
    if (!link) {
        pcap_pkthdr *h;
        const u_char *bytes;
        uint64_t frames = 0;
        while (pcap_next_ex(p, &h, &bytes) == 1) ++frames;
        const char *known = pcap_datalink_val_to_name(link_type);
        error = path + ": link type " + std::to_string(link_type) + (known ? std::string(" (") + known + ")" : "") +
                " has no layer code; " + plural(frames, "frame", "frames") + " skipped";
        pcap_close(p);
        return nullptr;
    }
    PcapSource *s = new PcapSource;
    s->pub = CAPLIB_INPUT{source_first, source_next, source_close, s, {0, 0, 0}};
    s->pcap = p;
    s->link = link;
    s->path = path;
    s->report = &report;
    if (name) {
        s->name = name;
    } else {
        s->name = pcapng_interface_name(path);
        if (s->name.empty()) s->name = "if0";
    }
    return &s->pub;
}

// ---- writing ----

namespace {

// How each layer goes back into a pcap file.
enum class Prefix { none, direction, cooked };
struct LinkOut {
    uint32_t layer;
    int link_type;
    Prefix prefix;
    uint32_t protocol;   // of the cooked header
    const char *word;    // in the file name when a capture is split
};
constexpr LinkOut kLinkOut[] = {
    {CAPLIB_LAYER_PPP, 204, Prefix::direction, 0, "ppp"},
    {CAPLIB_LAYER_ETHERNET, 1, Prefix::none, 0, "ethernet"},
    {CAPLIB_LAYER_TOKENRING, 6, Prefix::none, 0, "tokenring"},
    {CAPLIB_LAYER_IP, 228, Prefix::none, 0, "ip"},
    {CAPLIB_LAYER_IPX, 113, Prefix::cooked, 0x8137, "ipx"},
    {CAPLIB_LAYER_ARP, 113, Prefix::cooked, 0x0806, "arp"},
};
constexpr size_t kLayersOut = std::size(kLinkOut);

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
    std::array<LayerFile, kLayersOut> files;
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
    const LinkOut *link = find_layer(p->layer);
    if (!link) {
        ++s->report->skipped_layers[p->layer];
        return CAPLIB_OK;
    }
    uint32_t prefix = link->prefix == Prefix::direction ? 1 : link->prefix == Prefix::cooked ? 16 : 0;
    if (p->length > kMaxPcapFrame - prefix) {
        ++s->report->too_long;
        return CAPLIB_OK;
    }
    size_t index = static_cast<size_t>(link - kLinkOut);
    LayerFile &f = s->files[index];
    if (!f.dumper && !start_file(s, index)) {
        s->report->error = open_error(s->path, errno);
        return CAPLIB_ERR_WRITE;
    }
    s->frame.assign(prefix, 0);
    if (link->prefix == Prefix::direction) {
        s->frame[0] = p->direction != 0;
    } else if (link->prefix == Prefix::cooked) {
        put16(&s->frame[0], p->direction ? kCookedOutgoing : 0);
        put16(&s->frame[2], kArphrdNone);
        put16(&s->frame[14], link->protocol);  // no address: its length stays 0
    }
    s->frame.insert(s->frame.end(), p->data, p->data + p->length);

    pcap_pkthdr h{};
    h.ts.tv_sec = static_cast<uint32_t>(p->time.tv_sec);
    h.ts.tv_usec = static_cast<uint32_t>(p->time.tv_usec);
    h.caplen = static_cast<uint32_t>(s->frame.size());
    h.len = p->orig_length > UINT32_MAX - prefix ? UINT32_MAX : p->orig_length + prefix;
    pcap_dump(reinterpret_cast<u_char *>(f.dumper), &h, s->frame.data());
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
        for (size_t i = 0; i < kLayersOut && report.error.empty(); ++i) {
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
    for (size_t i = 0; i < kLayersOut; ++i) names.push_back(layer_file_name(path, i));
    return names;
}

}  // namespace caplib_tool
