// Filters compiled on a dead handle of the link type export writes a
// layer as, and run over the frame it would write.
#include "filter.h"

#include <new>

namespace caplib_tool {
namespace {

// tcpdump's netmask for files: "ip broadcast" compiles and means the
// all-ones address only.
constexpr bpf_u_int32 kNetmask = 0;

// False with libpcap's message in error.
bool compile(int link_type, const std::string &expression, bpf_program &code, std::string &error) {
    pcap_t *dead = pcap_open_dead(link_type, kMaxPcapFrame);
    if (!dead) {
        error = "out of memory";
        return false;
    }
    // The optimiser refuses an expression that rejects every packet of
    // the link type ("ipx" on raw IP); for one layer of many that only
    // means no record of it matches.
    bool ok = pcap_compile(dead, &code, expression.c_str(), 1, kNetmask) == 0 ||
              pcap_compile(dead, &code, expression.c_str(), 0, kNetmask) == 0;
    if (!ok) error = pcap_geterr(dead);
    pcap_close(dead);
    return ok;
}

struct Filtered {
    CAPLIB_INPUT pub;  // first: the object is its own priv
    CAPLIB_INPUT *in;
    RecordFilter *filter;
};

Filtered *self(CAPLIB_INPUT *in) { return static_cast<Filtered *>(in->priv); }

CAPLIB_PAKET *skip(Filtered *f, CAPLIB_PAKET *p) {
    while (p && !f->filter->matches(*p)) p = CAPLIB_input_next(f->in);
    return p;
}

}  // namespace

std::unique_ptr<RecordFilter> RecordFilter::make(const std::string &expression, std::string &error) {
    // Any link type will do to tell a wrong expression: the first error
    // names it.
    std::string first_error;
    for (size_t slot = 0; slot < kExportLayers; ++slot) {
        bpf_program code{};
        if (compile(export_link_type(slot), expression, code, error)) {
            pcap_freecode(&code);
            return std::unique_ptr<RecordFilter>(new RecordFilter(expression));
        }
        if (first_error.empty()) first_error = error;
    }
    error = first_error;
    return nullptr;
}

RecordFilter::~RecordFilter() {
    for (Program &p : programs_)
        if (p.compiled) pcap_freecode(&p.code);
}

bool RecordFilter::matches(const CAPLIB_PAKET &p) {
    ExportFrame frame;
    if (export_frame(p, buffer_, frame) != ExportFit::frame) return false;
    Program &program = programs_[frame.slot];
    if (!program.made) {
        program.made = true;
        program.layer = p.layer;
        program.link_type = frame.link_type;
        program.compiled = compile(frame.link_type, expression_, program.code, program.error);
    }
    if (!program.compiled) {
        ++program.left_out;
        return false;
    }
    return pcap_offline_filter(&program.code, &frame.header, frame.bytes) != 0;
}

std::vector<std::string> RecordFilter::notes() const {
    std::vector<std::string> lines;
    for (const Program &p : programs_)
        if (p.made && !p.compiled)
            lines.push_back(std::string("the filter does not compile for ") +
                    CAPLIB_layer2str(p.layer) + " records (link type " + std::to_string(p.link_type) + ": " + p.error +
                    "); " + std::to_string(p.left_out) + " left out");
    return lines;
}

CAPLIB_INPUT *filtered_input(CAPLIB_INPUT *in, RecordFilter &filter) {
    Filtered *f = new (std::nothrow) Filtered{{}, in, &filter};
    if (!f) {
        CAPLIB_input_close(in);
        return nullptr;
    }
    f->pub.first = [](CAPLIB_INPUT *i) { return skip(self(i), CAPLIB_input_first(self(i)->in)); };
    f->pub.next = [](CAPLIB_INPUT *i) { return skip(self(i), CAPLIB_input_next(self(i)->in)); };
    f->pub.close = [](CAPLIB_INPUT *i) {
        CAPLIB_input_close(self(i)->in);
        delete self(i);
    };
    f->pub.priv = f;
    for (int k = 0; k < 3; ++k) f->pub.info[k] = in->info[k];
    return &f->pub;
}

}  // namespace caplib_tool
