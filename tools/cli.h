// The caplib tool's command line: what each command takes, and the
// commands themselves (caplib.cpp).
#pragma once

#include <string>
#include <vector>

namespace caplib_tool {

// Everything a command line gave; each command sees only what it takes.
struct Options {
    bool hex = false;
    bool buffered = false;
    unsigned threads = 1;  // -j, 0 for one per core
    std::string sep = "\n";
    std::string output;  // -o, "" for standard output
    std::string layer;
    bool has_name = false;
    std::string name;
    bool has_limit = false;
    long long limit = 0;           // --append-limit
    unsigned long long count = 0;  // -c, 0 for every record
    std::string in, out;           // -r and -w, or the operands
    std::vector<std::string> operands;  // the hex words of decode
    std::string filter;            // the BPF expression: the other operands, joined
    std::string interface;         // -i
    unsigned long long ring_size = 0;  // -C, 0 for no ring
    unsigned ring_files = 0;           // -W
};

int cmd_trace(const Options &o);
int cmd_copy(const Options &o);
int cmd_import(const Options &o);
int cmd_export(const Options &o);
int cmd_decode(const Options &o);
int cmd_info(const Options &o);
int cmd_capture(const Options &o);

// One line on standard error, "caplib: MESSAGE"; usage_error adds where
// to find the usage and returns 2, failure returns 1.
int usage_error(const std::string &msg);
int failure(const std::string &msg);
void note(const std::string &msg);

// Standard output flushed and checked: false with errno set.
bool stdout_ok();
// The end of a command whose standard output failed with error: 1 with
// the error line; 0 for a reader that went away (| head), quietly, as
// SIGPIPE ends it when the caller has not ignored that signal.
int stdout_failed(int error);
// stdout_ok, then 0 or stdout_failed.
int finish_stdout();

}  // namespace caplib_tool
