// caplib: trace, copy, convert, inspect and decode captures from the
// command line. Here: the commands' options, usage texts and main.
#include "cli.h"

#include <fcntl.h>
#include <getopt.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace caplib_tool {
namespace {

// Options without a one-letter form get codes above any character.
enum Option : int {
    kHex = 'x',
    kOutput = 'o',
    kRead = 'r',
    kWrite = 'w',
    kCount = 'c',
    kHelp = 'h',
    kInterface = 'i',
    kRingSize = 'C',
    kRingFiles = 'W',
    kThreads = 'j',
    kBuffered = 256,
    kSep,
    kName,
    kLayer,
    kAppendLimit,
};

struct OptionInfo {
    int code;
    const char *long_name;  // null: the letter only
    bool takes_value;
};

constexpr OptionInfo kOptions[] = {
    {kHex, "hex", false},       {kOutput, nullptr, true},     {kRead, nullptr, true},
    {kWrite, nullptr, true},    {kCount, nullptr, true},      {kHelp, "help", false},
    {kBuffered, "buffered", false}, {kSep, "sep", true},      {kName, "name", true},
    {kLayer, "layer", true},    {kAppendLimit, "append-limit", true},
    {kInterface, nullptr, true}, {kRingSize, nullptr, true},  {kRingFiles, nullptr, true},
    {kThreads, nullptr, true},
};

struct Command {
    const char *name;
    int (*run)(const Options &);
    std::vector<int> options;  // besides --help
    bool reads, writes;        // takes IN (-r) and OUT (-w) operands
    bool filters;              // the operands after them are a filter expression
    const char *operands;      // the usage error for wrong operands
    const char *synopsis;
    const char *about;
};

const std::vector<Command> kCommands = {
    {"trace", cmd_trace, {kHex, kBuffered, kThreads, kCount, kSep, kOutput, kName, kRead}, true, false, true,
     "trace takes one capture file",
     "[-x|--hex] [--buffered [-j THREADS]] [-c COUNT] [--sep TEXT] [-o BASENAME] [--name NAME]\n"
     "        [-r] CAPTURE [EXPRESSION]",
     "print a text trace of a capture: a numbered header line per record,\n"
     "one decoded line per protocol layer, with -x a hex dump; -c stops\n"
     "after COUNT records. Filtered, the records keep their numbers in the\n"
     "capture. To standard output, where\n"
     "every record is flushed as it is written, so that the trace is\n"
     "complete up to the last record even if the program is killed; or with\n"
     "-o to BASENAME.log (BASENAME may end in .log), put in place when\n"
     "complete. --buffered writes in large blocks instead: several times\n"
     "faster for bulk work, but a killed run loses its last block. -j\n"
     "composes a buffered trace on THREADS threads (0: one per core; default\n"
     "1), the same text in the same order"},
    {"copy", cmd_copy, {kAppendLimit, kRead, kWrite}, true, true, true,
     "copy takes an input and an output capture file",
     "[--append-limit BYTES] [-r] CAPTURE [-w] OUT.eth [EXPRESSION]",
     "copy the records into a capture file; with --append-limit continue\n"
     "OUT.eth while it is smaller than BYTES (0: no limit), else start it\n"
     "anew"},
    {"import", cmd_import, {kName, kRead, kWrite}, true, true, false,
     "import takes a capture and an output capture file",
     "[--name NAME] [-r] CAPTURE [-w] OUT.eth", "convert a pcap or pcapng file (or a capture file) into a capture file"},
    {"export", cmd_export, {kRead, kWrite}, true, true, true, "export takes a capture and an output pcap file",
     "[-r] CAPTURE [-w] OUT.pcap [EXPRESSION]",
     "convert the records of a capture into pcap; a capture mixing layers becomes\n"
     "one file per layer (OUT-ppp.pcap, OUT-ethernet.pcap, ...)"},
    {"decode", cmd_decode, {kLayer, kSep}, false, false, false, "", "--layer LAYER [--sep TEXT] HEX...|-",
     "decode one frame given in hex, or read from standard input with -;\n"
     "LAYER is ppp, ethernet, tokenring, ip, ipx, arp or a layer code"},
    {"info", cmd_info, {kName, kRead}, true, false, true, "info takes one capture file",
     "[--name NAME] [-r] CAPTURE [EXPRESSION]",
     "count the records per layer and attribute, first and last time stamp"},
    {"capture", cmd_capture,
     {kInterface, kWrite, kCount, kAppendLimit, kRingSize, kRingFiles, kBuffered, kHex, kSep}, false, false, true, "",
     "-i INTERFACE [-w OUT.eth] [-c COUNT] [--append-limit BYTES] [-C BYTES -W FILES]\n"
     "        [--buffered] [-x|--hex] [--sep TEXT] [EXPRESSION]",
     "capture frames from a network interface with libpcap, until COUNT\n"
     "records (-c) or SIGINT, SIGTERM or SIGHUP; then one line on standard\n"
     "error counts the records captured, received by the filter and\n"
     "dropped by the kernel. Without -w the text trace goes to standard\n"
     "output as trace prints it, each record flushed (--buffered: in\n"
     "blocks). -w writes OUT.eth in place, flushed as records come, so that\n"
     "a crash loses little (--buffered: when the buffer fills);\n"
     "--append-limit continues it as copy does. -C BYTES -W FILES keep a\n"
     "ring: OUT.eth is written until the next record would make it larger\n"
     "than BYTES, then it becomes OUT1.eth, OUT1.eth becomes OUT2.eth, ...,\n"
     "and the oldest, OUT<FILES-1>.eth, is dropped; an OUT.eth below BYTES\n"
     "is continued. Records are named by the interface. EXPRESSION filters\n"
     "the interface's frames in the kernel, as tcpdump does"},
};

constexpr const char *kFiles =
    "Files are written under a temporary name and put in place when\n"
    "complete (an appending copy cuts a failed addition off again; capture\n"
    "writes in place); an output that is an input or read-only is refused.\n";
constexpr const char *kCaptureNote =
    "CAPTURE is a capture file, pcap or pcapng, told apart by its content;\n"
    "- reads standard input.\n";
constexpr const char *kSepNote = "TEXT in --sep takes the escapes \\n, \\r, \\t and \\\\.\n";
constexpr const char *kNameNote =
    "NAME is the name of records read from pcap or pcapng (default: the pcapng\n"
    "interface name, else if0, if1, ... by the interface's place).\n";
constexpr const char *kFilterNote =
    "EXPRESSION is a filter as tcpdump takes it (pcap-filter(7)), the\n"
    "remaining words joined: only the records it accepts are kept.\n";
constexpr const char *kFileFilterNote =
    "A record is matched as export writes it (IPX and ARP behind a Linux\n"
    "cooked header); records export cannot write never match.\n";
constexpr const char *kExit = "Exit status: 0 success, 1 failure, 2 usage error.\n";

// Composing threads beyond the cores only cost memory.
constexpr unsigned kMaxThreads = 256;

// A turn of the ring renames every file of it.
constexpr unsigned kMaxRingFiles = 1000;

const char *g_command = "";  // for the usage error's hint

const Command *find_command(std::string_view name) {
    for (const Command &c : kCommands)
        if (name == c.name) return &c;
    return nullptr;
}

bool takes(const Command &c, int code) {
    for (int o : c.options)
        if (o == code) return true;
    return code == kHelp;
}

const OptionInfo &option_info(int code) {
    for (const OptionInfo &s : kOptions)
        if (s.code == code) return s;
    return kOptions[0];
}

// As the option was given: an option with a value has one form only, and
// a value can be attached to the long form only.
std::string spelled(int code) {
    const OptionInfo &s = option_info(code);
    return s.long_name ? std::string("--") + s.long_name : std::string("-") + static_cast<char>(code);
}

std::string indented(std::string_view text, const char *indent) {
    std::string out;
    for (size_t end; !text.empty(); text = end == std::string_view::npos ? "" : text.substr(end + 1)) {
        end = text.find('\n');
        out += indent + std::string(text.substr(0, end)) + "\n";
    }
    return out;
}

std::string usage(const Command *only) {
    if (only) {
        std::string text = std::string("usage: caplib ") + only->name + " " + only->synopsis + "\n" +
                           indented(only->about, "  ") + "\n";
        if (only->reads) text += kCaptureNote;
        if (only->writes || takes(*only, kOutput)) text += kFiles;
        if (takes(*only, kSep)) text += kSepNote;
        if (takes(*only, kName)) text += kNameNote;
        if (only->filters) text += kFilterNote;
        if (only->filters && only->reads) text += kFileFilterNote;
        return text + kExit;
    }
    std::string text = "usage: caplib COMMAND [OPTIONS] ARGS\n       caplib COMMAND --help\n\ncommands:\n";
    for (const Command &c : kCommands)
        text += std::string("  ") + c.name + " " + c.synopsis + "\n" + indented(c.about, "      ");
    text += "\n  --help, --version\n\n";
    text += "-r FILE and -w FILE name the file read and the file written; --\n"
            "ends the options.\n";
    return text + kCaptureNote + kFiles + kSepNote + kNameNote + kFilterNote + kFileFilterNote + kExit;
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

// Decimal digits only: strtoll would take "", " 5" and "+5".
bool number(const char *s, unsigned long long max, unsigned long long &value) {
    value = 0;
    if (!*s) return false;
    for (; *s; ++s) {
        if (*s < '0' || *s > '9') return false;
        unsigned digit = static_cast<unsigned>(*s - '0');
        if (value > (max - digit) / 10) return false;
        value = value * 10 + digit;
    }
    return true;
}

// Takes one option's value into o; false with the usage error set.
bool apply(int code, const char *value, Options &o, std::string &error) {
    unsigned long long n = 0;
    switch (code) {
    case kHex: o.hex = true; break;
    case kBuffered: o.buffered = true; break;
    case kSep: o.sep = unescape(value); break;
    case kOutput:
        o.output = value;
        if (!*value) error = "-o needs a name";
        break;
    case kRead: o.in = value; break;
    case kWrite: o.out = value; break;
    case kLayer: o.layer = value; break;
    case kName:
        o.name = value;
        o.has_name = true;
        if (o.name.empty() || o.name.size() > 255) error = "--name takes a name of 1 to 255 characters";
        break;
    case kAppendLimit:
        if (number(value, INT32_MAX, n)) {
            o.limit = static_cast<long long>(n);
            o.has_limit = true;
        } else {
            error = "--append-limit takes a byte count from 0 to 2147483647, not '" + std::string(value) + "'";
        }
        break;
    case kCount:
        if (!number(value, ULLONG_MAX, n) || n == 0)
            error = "-c takes a record count from 1, not '" + std::string(value) + "'";
        o.count = n;
        break;
    case kInterface:
        o.interface = value;
        if (!*value) error = "-i needs an interface name";
        break;
    case kRingSize:
        if (!number(value, LLONG_MAX, n) || n == 0)
            error = "-C takes a byte count from 1, not '" + std::string(value) + "'";
        o.ring_size = n;
        break;
    case kRingFiles:
        if (!number(value, kMaxRingFiles, n) || n == 0)
            error = "-W takes a file count from 1 to " + std::to_string(kMaxRingFiles) + ", not '" +
                    std::string(value) + "'";
        o.ring_files = static_cast<unsigned>(n);
        break;
    case kThreads:
        if (!number(value, kMaxThreads, n))
            error = "-j takes a thread count from 0 to " + std::to_string(kMaxThreads) + ", not '" +
                    std::string(value) + "'";
        o.threads = static_cast<unsigned>(n);
        break;
    }
    return error.empty();
}

// getopt_long over argv (argv[0] is the command): 0, 2 for a usage error,
// -1 when --help asked for the command's usage.
int parse(const Command &c, int argc, char **argv, Options &o, std::string &error) {
    std::string letters = ":";
    std::vector<option> longs;
    for (const OptionInfo &s : kOptions) {
        if (!takes(c, s.code)) continue;
        if (s.code < kBuffered) letters += s.takes_value ? std::string{static_cast<char>(s.code), ':'}
                                                         : std::string{static_cast<char>(s.code)};
        if (s.long_name) longs.push_back({s.long_name, s.takes_value ? required_argument : no_argument, nullptr, s.code});
    }
    longs.push_back({});
    opterr = 0;
    bool help = false;
    for (int code; (code = getopt_long(argc, argv, letters.c_str(), longs.data(), nullptr)) != -1;) {
        if (code == ':') {
            error = spelled(optopt) + " needs a value";
            return 2;
        }
        if (code == '?') {
            // optopt is 0 for an unknown long option, the letter of an
            // unknown short one, and the code of a known long option that
            // was given a value it does not take.
            if (optopt && takes(c, optopt)) {
                error = spelled(optopt) + " takes no value";
            } else {
                std::string given = optopt ? std::string("-") + static_cast<char>(optopt) : argv[optind - 1];
                error = std::string(c.name) + " has no option " + given.substr(0, given.find('='));
            }
            return 2;
        }
        if (code == kHelp) help = true;
        if (!apply(code, optarg, o, error)) return 2;
    }
    if (help) return -1;
    std::vector<std::string> rest(argv + optind, argv + argc);
    auto filter = [&] {
        for (const std::string &word : rest) o.filter += (o.filter.empty() ? "" : " ") + word;
    };
    if (!c.reads && !c.writes) {
        if (c.filters)
            filter();
        else
            o.operands = rest;
        return 0;
    }
    auto take = [&](std::string &role) {
        if (!role.empty() || rest.empty()) return;
        role = rest.front();
        rest.erase(rest.begin());
    };
    take(o.in);
    if (c.writes) take(o.out);
    if ((!rest.empty() && !c.filters) || o.in.empty() || (c.writes && o.out.empty())) {
        error = c.operands;
        return 2;
    }
    filter();
    return 0;
}

int print_stdout(const std::string &text) {
    std::fputs(text.c_str(), stdout);
    return finish_stdout();
}

// A standard descriptor the caller closed stays unusable (reads and
// writes fail with EBADF) instead of going to the next file opened.
void hold_standard_descriptors() {
    for (int fd = 0; fd < 3; ++fd)
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
}

}  // namespace

int usage_error(const std::string &msg) {
    std::fprintf(stderr, "caplib: %s\n(see caplib %s%s--help)\n", msg.c_str(), g_command, *g_command ? " " : "");
    return 2;
}

int failure(const std::string &msg) {
    std::fprintf(stderr, "caplib: %s\n", msg.c_str());
    return 1;
}

void note(const std::string &msg) {
    if (!msg.empty()) std::fprintf(stderr, "caplib: %s\n", msg.c_str());
}

int stdout_failed(int error) {
    return error == EPIPE ? 0 : failure("writing standard output failed: " + std::string(std::strerror(error)));
}

bool stdout_ok() {
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
    if (!errno) errno = EIO;
    return false;
}

int finish_stdout() { return stdout_ok() ? 0 : stdout_failed(errno); }

}  // namespace caplib_tool

int main(int argc, char **argv) {
    using namespace caplib_tool;
    hold_standard_descriptors();
    if (argc < 2) return usage_error("no command given");
    std::string_view name = argv[1];
    if (name == "--version") return print_stdout("caplib " CAPLIB_VERSION "\n");
    if (name == "--help" || name == "-h" || name == "help") {
        if (argc == 2) return print_stdout(usage(nullptr));
        const Command *c = find_command(argv[2]);
        return c ? print_stdout(usage(c)) : usage_error("unknown command " + std::string(argv[2]));
    }
    const Command *c = find_command(name);
    if (!c) return usage_error("unknown command " + std::string(name));
    g_command = c->name;
    Options o;
    std::string error;
    int rc = parse(*c, argc - 1, argv + 1, o, error);
    if (rc == -1) return print_stdout(usage(c));
    return rc ? usage_error(error) : c->run(o);
}
