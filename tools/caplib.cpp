// caplib: trace, copy, convert, inspect and decode captures from the command line.
#include <sys/stat.h>

#include <cerrno>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "caplib.h"
#include "input.h"
#include "pcap_sink.h"

namespace {

using caplib_tool::has_extension;

constexpr const char *kVersion = "1.0.0";

constexpr const char *kUsage =
    "usage: caplib COMMAND [OPTIONS] ARGS\n"
    "\n"
    "commands:\n"
    "  trace [-x|--hex] [--buffered] [--sep TEXT] [-o BASENAME] [--name NAME] CAPTURE\n"
    "      print a text trace of a capture (.eth, pcap or pcapng): a numbered\n"
    "      header line per record, one decoded line per protocol layer, with -x\n"
    "      a hex dump; to standard output, or to BASENAME.log with -o. Every\n"
    "      record is flushed as it is written, so the trace is complete up to\n"
    "      the last record even if the program is killed. --buffered writes in\n"
    "      large blocks instead: several times faster for bulk work, but a\n"
    "      killed run loses its last block, and with -o a failure to write that\n"
    "      block (disk full) is not seen and not reported\n"
    "  copy IN.eth OUT.eth [--append-limit BYTES]\n"
    "      copy every record; with --append-limit continue OUT.eth while it is\n"
    "      smaller than BYTES (0: no limit), else start it anew\n"
    "  import [--name NAME] IN.pcap|IN.pcapng OUT.eth\n"
    "      convert a pcap or pcapng file into a capture file\n"
    "  export IN.eth OUT.pcap\n"
    "      convert a capture file into pcap; a capture mixing layers becomes\n"
    "      one file per layer (OUT-ppp.pcap, OUT-ethernet.pcap, ...)\n"
    "  decode --layer LAYER [--sep TEXT] HEX...\n"
    "      decode one frame given in hex; LAYER is ppp, ethernet, tokenring, ip,\n"
    "      ipx, arp or a layer code\n"
    "  info [--name NAME] CAPTURE\n"
    "      count records per layer and attribute, first and last time stamp\n"
    "\n"
    "  --help, --version\n"
    "\n"
    "TEXT in --sep takes the escapes \\n, \\r, \\t and \\\\.\n"
    "NAME is the name of records read from pcap or pcapng (default: the pcapng\n"
    "interface name, else if0).\n"
    "Exit status: 0 success, 1 failure, 2 usage error.\n";

int usage_error(const std::string &msg) {
    std::fprintf(stderr, "caplib: %s\n(see caplib --help)\n", msg.c_str());
    return 2;
}

int failure(const std::string &msg) {
    std::fprintf(stderr, "caplib: %s\n", msg.c_str());
    return 1;
}

void note(const std::string &msg) {
    if (!msg.empty()) std::fprintf(stderr, "caplib: %s\n", msg.c_str());
}

std::string unescape(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        switch (s[++i]) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case '\\': out += '\\'; break;
        default: out += '\\'; out += s[i]; break;
        }
    }
    return out;
}

// Options shared by the commands; positional arguments are collected.
struct Args {
    bool hex = false;
    bool buffered = false;
    std::string sep = "\n";
    bool has_sep = false;
    std::string output;
    std::string layer;
    std::string name;
    bool has_name = false;
    bool has_limit = false;
    long long limit = 0;
    std::vector<std::string> positional;
};

int parse(int argc, char **argv, int first, Args &a, std::string &error) {
    for (int i = first; i < argc; ++i) {
        std::string_view arg = argv[i];
        auto value = [&](const char *name) -> const char * {
            if (i + 1 >= argc) {
                error = std::string(name) + " needs a value";
                return nullptr;
            }
            return argv[++i];
        };
        if (arg == "-x" || arg == "--hex") {
            a.hex = true;
        } else if (arg == "--buffered") {
            a.buffered = true;
        } else if (arg == "--sep") {
            const char *v = value("--sep");
            if (!v) return 2;
            a.sep = unescape(v);
            a.has_sep = true;
        } else if (arg == "-o") {
            const char *v = value("-o");
            if (!v) return 2;
            a.output = v;
        } else if (arg == "--layer") {
            const char *v = value("--layer");
            if (!v) return 2;
            a.layer = v;
        } else if (arg == "--name") {
            const char *v = value("--name");
            if (!v) return 2;
            a.name = v;
            a.has_name = true;
            if (a.name.empty() || a.name.size() > 255) {
                error = "--name takes a name of 1 to 255 characters";
                return 2;
            }
        } else if (arg == "--append-limit") {
            const char *v = value("--append-limit");
            if (!v) return 2;
            char *end = nullptr;
            errno = 0;
            a.limit = std::strtoll(v, &end, 10);
            if (errno || *end || a.limit < 0 || a.limit > INT32_MAX) {
                error = std::string("--append-limit takes a byte count from 0 to 2147483647, not ") + v;
                return 2;
            }
            a.has_limit = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + std::string(arg);
            return 2;
        } else {
            a.positional.emplace_back(arg);
        }
    }
    return 0;
}

// The bytes a record takes in a capture file.
unsigned long long record_bytes(const CAPLIB_PAKET *p) {
    auto r16 = [](unsigned long long n) { return (n + 15) & ~15ull; };
    unsigned long long name = p->name ? std::strlen(p->name) + 1 : 0;
    return 48 + r16(name) + r16(p->length);
}

long long file_size(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

// A capture to read, of any format, and its report, which outlives the
// source.
struct Source {
    CAPLIB_INPUT *in = nullptr;
    caplib_tool::InputReport report;
    std::string label;
};

// 0 when open, else the exit status after the error line.
int open_source(const Args &a, const std::string &path, Source &src) {
    std::string error;
    src.label = caplib_tool::input_label(path);
    src.in = caplib_tool::open_input(path, a.has_name ? a.name.c_str() : nullptr, src.report, error);
    if (!src.in) return failure(error);
    // Records of a capture file keep their own names.
    if (a.has_name && src.report.format == caplib_tool::InputFormat::capture) {
        CAPLIB_input_close(src.in);
        src.in = nullptr;
        return usage_error("--name is for pcap and pcapng input");
    }
    return 0;
}

// After the source is done: damage fails, skipped frames are told.
int finish_source(const Source &src, const char *done) {
    if (!src.report.damage.empty()) return failure(src.report.damage_text(src.label, done));
    note(src.report.skipped_text(src.label));
    return 0;
}

int cmd_trace(const Args &a) {
    if (a.positional.size() != 1) return usage_error("trace takes one capture file");
    Source src;
    if (int rc = open_source(a, a.positional[0], src)) return rc;
    CAPLIB_INPUT *in = src.in;
    bool to_stdout = a.output.empty();
    // Nothing has been written to standard output yet: a record, hex dump
    // included, then leaves in one write.
    static char stdout_buffer[1 << 18];
    if (to_stdout) std::setvbuf(stdout, stdout_buffer, _IOFBF, sizeof stdout_buffer);
    uint32_t flags = (a.hex ? CAPLIB_ASCII_HEXDUMP : 0u) | (a.buffered ? CAPLIB_ASCII_BUFFERED : 0u);
    CAPLIB_OUTPUT *out = CAPLIB_output_ascii(to_stdout ? "-" : a.output.c_str(), a.sep.c_str(), flags);
    if (!out) {
        CAPLIB_input_close(in);
        return failure("cannot open " + a.output + ".log for writing");
    }
    int rc = CAPLIB_process_data(in, out);
    // The writer leaves standard output open; what it held back shows here.
    if (rc == 0 && to_stdout && (std::fflush(stdout) != 0 || std::ferror(stdout))) rc = CAPLIB_ERR_WRITE;
    if (rc == CAPLIB_ERR_WRITE) return failure("writing the trace failed (" + std::string(std::strerror(errno)) + ")");
    if (rc != 0) return failure("a record header did not fit the trace line");
    return finish_source(src, "read");
}

// Wraps the binary writer to know how many bytes the copy must have put
// into the file: the library's writers flush at close, where a failure
// (a full disk) cannot be reported, so the size is checked afterwards.
struct CountingSink {
    CAPLIB_OUTPUT pub;
    CAPLIB_OUTPUT *inner;
    unsigned long long bytes = 0;
    bool header_failed = false;
    int error = 0;  // errno of the failed write, before closing can change it
};

int cmd_copy(const Args &a) {
    if (a.positional.size() != 2) return usage_error("copy takes an input and an output capture file");
    const std::string &in_path = a.positional[0];
    const std::string &out_path = a.positional[1];
    Source src;
    if (int rc = open_source(a, in_path, src)) return rc;
    CAPLIB_INPUT *in = src.in;
    if (!has_extension(out_path, ".eth")) {
        CAPLIB_input_close(in);
        return failure(out_path + ": capture files must have the extension .eth");
    }
    long long before = file_size(out_path);
    CAPLIB_OUTPUT *inner = a.has_limit ? CAPLIB_output_zekbin_append(out_path.c_str(), static_cast<int32_t>(a.limit))
                                       : CAPLIB_output_zekbin(out_path.c_str());
    if (!inner) {
        CAPLIB_input_close(in);
        return failure("cannot open " + out_path + " for writing: " + std::strerror(errno));
    }
    CountingSink sink;
    sink.inner = inner;
    sink.pub.type = inner->type;
    sink.pub.priv = &sink;
    sink.pub.header = [](CAPLIB_OUTPUT *o, CAPLIB_INPUT *i) {
        CountingSink *s = static_cast<CountingSink *>(o->priv);
        errno = 0;
        int rc = CAPLIB_output_header(s->inner, i);
        s->header_failed = rc != 0;
        s->error = errno;
        return rc;
    };
    sink.pub.paket = [](CAPLIB_OUTPUT *o, CAPLIB_PAKET *p) {
        CountingSink *s = static_cast<CountingSink *>(o->priv);
        errno = 0;
        int rc = CAPLIB_output_paket(s->inner, p);
        if (rc == 0) s->bytes += record_bytes(p);
        s->error = errno;
        return rc;
    };
    sink.pub.close = [](CAPLIB_OUTPUT *o, int rc) { CAPLIB_output_close(static_cast<CountingSink *>(o->priv)->inner, rc); };

    int rc = CAPLIB_process_data(in, &sink.pub);
    auto reason = [&] { return std::string(sink.error ? std::strerror(sink.error) : "unknown error"); };
    if (sink.header_failed) return failure("writing " + out_path + " failed: " + reason());
    if (rc == CAPLIB_ERR_FORMAT) return failure(out_path + ": a record could not be written (name too long or no memory)");
    if (rc != 0) return failure("writing " + out_path + " failed: " + reason());
    long long after = file_size(out_path);
    bool complete = static_cast<unsigned long long>(after) == 64 + sink.bytes ||
                    (a.has_limit && before > 0 && static_cast<unsigned long long>(after) == before + sink.bytes);
    if (after < 0 || !complete) return failure("writing " + out_path + " failed: the file is incomplete (disk full?)");
    return finish_source(src, "copied");
}

// The capture writer flushes only when it closes, where a failure cannot
// be reported: this sink flushes the stream to disk before that.
struct FlushingSink {
    CAPLIB_OUTPUT pub;
    CAPLIB_OUTPUT *inner;
    caplib_tool::PendingFile *file;
    bool flushed = false;
    int flush_errno = 0;
};

int cmd_import(const Args &a) {
    if (a.positional.size() != 2) return usage_error("import takes a pcap or pcapng file and an output capture file");
    const std::string &in_path = a.positional[0];
    const std::string &out_path = a.positional[1];
    if (!has_extension(out_path, ".eth")) return failure(out_path + ": capture files must have the extension .eth");
    Source src;
    if (int rc = open_source(a, in_path, src)) return rc;
    CAPLIB_INPUT *in = src.in;
    caplib_tool::PendingFile file;
    CAPLIB_OUTPUT *inner = file.open(out_path) ? CAPLIB_output_zekbin_filepointer(file.stream()) : nullptr;
    if (!inner) {
        std::string why = std::strerror(errno);
        CAPLIB_input_close(in);
        return failure("cannot write " + out_path + ": " + why);
    }
    file.release_stream();
    FlushingSink sink{{inner->type, nullptr, nullptr, nullptr, nullptr}, inner, &file};
    sink.pub.priv = &sink;
    sink.pub.header = [](CAPLIB_OUTPUT *o, CAPLIB_INPUT *i) {
        return CAPLIB_output_header(static_cast<FlushingSink *>(o->priv)->inner, i);
    };
    sink.pub.paket = [](CAPLIB_OUTPUT *o, CAPLIB_PAKET *p) {
        return CAPLIB_output_paket(static_cast<FlushingSink *>(o->priv)->inner, p);
    };
    sink.pub.close = [](CAPLIB_OUTPUT *o, int rc) {
        FlushingSink *s = static_cast<FlushingSink *>(o->priv);
        s->flushed = rc == 0 && s->file->flush();
        s->flush_errno = errno;
        CAPLIB_output_close(s->inner, rc);
    };
    int rc = CAPLIB_process_data(in, &sink.pub);
    if (rc == CAPLIB_ERR_FORMAT) return failure(out_path + ": a record could not be written (no memory)");
    if (rc != 0 || !sink.flushed)
        return failure("writing " + out_path + " failed: " + std::strerror(rc ? errno : sink.flush_errno));
    if (!file.commit(out_path)) return failure("cannot write " + out_path + ": " + std::strerror(errno));
    // Every complete frame before damage is kept; the damage still fails.
    return finish_source(src, "converted");
}

int cmd_export(const Args &a) {
    if (a.positional.size() != 2) return usage_error("export takes a capture file and an output pcap file");
    const std::string &in_path = a.positional[0];
    const std::string &out_path = a.positional[1];
    std::string error;
    caplib_tool::PcapWriteReport report;
    CAPLIB_OUTPUT *out = caplib_tool::pcap_output(out_path, report, error);
    if (!out) return failure(error);
    Source src;
    if (int rc = open_source(a, in_path, src)) {
        CAPLIB_output_close(out, CAPLIB_ERR_FORMAT);
        return rc;
    }
    CAPLIB_process_data(src.in, out);
    if (!report.error.empty()) return failure(report.error);
    if (!src.report.damage.empty()) return failure(src.report.damage_text(src.label, "converted"));
    if (report.files.size() > 1) {
        std::string list;
        for (const auto &[name, frames] : report.files)
            list += (list.empty() ? "" : ", ") + name + " (" + std::to_string(frames) + (frames == 1 ? " frame)" : " frames)");
        note(src.label + " mixes layers, written as one pcap file per layer: " + list);
    }
    note(report.skipped_text(src.label));
    return finish_source(src, "converted");
}

struct LayerName {
    const char *name;
    uint32_t code;
};
constexpr LayerName kLayers[] = {
    {"ppp", CAPLIB_LAYER_PPP}, {"ethernet", CAPLIB_LAYER_ETHERNET}, {"tokenring", CAPLIB_LAYER_TOKENRING},
    {"ip", CAPLIB_LAYER_IP},   {"ipx", CAPLIB_LAYER_IPX},           {"arp", CAPLIB_LAYER_ARP},
};

bool parse_layer(const std::string &s, uint32_t &code) {
    for (const LayerName &l : kLayers)
        if (s == l.name) {
            code = l.code;
            return true;
        }
    char *end = nullptr;
    unsigned long v = std::strtoul(s.c_str(), &end, 0);
    if (s.empty() || *end || v > UINT32_MAX) return false;
    code = static_cast<uint32_t>(v);
    return true;
}

int cmd_decode(const Args &a) {
    uint32_t layer = 0;
    if (a.layer.empty()) return usage_error("decode needs --layer");
    if (!parse_layer(a.layer, layer)) return usage_error("unknown layer " + a.layer);
    std::vector<unsigned char> frame;
    int hi = -1;
    for (const std::string &word : a.positional)
        for (char c : word) {
            if (c == ':' || c == '-' || c == ',' || std::isspace(static_cast<unsigned char>(c))) continue;
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return usage_error(std::string("not a hex digit: ") + c);
            int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
            if (hi < 0) {
                hi = v;
            } else {
                frame.push_back(static_cast<unsigned char>(hi << 4 | v));
                hi = -1;
            }
        }
    if (hi >= 0) return usage_error("odd number of hex digits");
    std::vector<char> text(65536);
    CAPLIB_decode(layer, frame.data(), static_cast<uint32_t>(frame.size()), text.data(),
                  static_cast<uint32_t>(text.size()), a.sep.c_str());
    std::fputs(text.data(), stdout);
    return std::fflush(stdout) == 0 ? 0 : failure("writing the text failed");
}

int cmd_info(const Args &a) {
    if (a.positional.size() != 1) return usage_error("info takes one capture file");
    Source src;
    if (int rc = open_source(a, a.positional[0], src)) return rc;
    CAPLIB_INPUT *in = src.in;
    std::map<uint32_t, unsigned long> layers, attributes;
    unsigned long records = 0;
    unsigned long long bytes = 0;
    CAPLIB_TIMEVAL first = {0, 0}, last = {0, 0};
    for (CAPLIB_PAKET *p = CAPLIB_input_first(in); p; p = CAPLIB_input_next(in)) {
        if (records++ == 0) first = p->time;
        last = p->time;
        ++layers[p->layer];
        ++attributes[p->attribute];
        bytes += p->length;
    }
    std::printf("file: %s\nrecords: %lu\ncaptured bytes: %llu\n", a.positional[0].c_str(), records, bytes);
    std::printf("information words: 0x%08x 0x%08x 0x%08x\n", in->info[0], in->info[1], in->info[2]);
    if (records) {
        std::printf("first: %s\n", CAPLIB_timeval2str(&first));
        std::printf("last: %s\n", CAPLIB_timeval2str(&last));
    }
    for (const auto &[code, n] : layers) std::printf("layer %s (%u): %lu\n", CAPLIB_layer2str(code), code, n);
    for (const auto &[code, n] : attributes)
        std::printf("attribute %s (%u): %lu\n", CAPLIB_attrib2str(code), code, n);
    CAPLIB_input_close(in);
    if (std::fflush(stdout) != 0) return failure("writing the summary failed");
    return finish_source(src, "read");
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) return usage_error("no command given");
    std::string_view cmd = argv[1];
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (cmd == "--version") {
        std::printf("caplib %s\n", kVersion);
        return 0;
    }
    Args a;
    std::string error;
    if (parse(argc, argv, 2, a, error) != 0) return usage_error(error);
    if (cmd == "trace") return cmd_trace(a);
    if (cmd == "copy") return cmd_copy(a);
    if (cmd == "import") return cmd_import(a);
    if (cmd == "export") return cmd_export(a);
    if (cmd == "decode") return cmd_decode(a);
    if (cmd == "info") return cmd_info(a);
    return usage_error("unknown command " + std::string(cmd));
}
