// Files the caplib tool writes: refused before anything is opened when
// they are read-only, and left whole or not at all.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

namespace caplib_tool {

// The failure lines: "cannot open PATH for writing: REASON",
// "writing PATH failed: REASON", "cannot read PATH: REASON".
std::string open_error(const std::string &path, int error);
std::string write_error(const std::string &path, int error);
std::string read_error(const std::string &path, int error);

// Empty when path may be written, else the line that refuses it: an
// existing file that is read-only (by its mode bits too: access(2) lets
// root write anything). Whether it is the input, the input's reader tells.
std::string refuse_output(const std::string &path);

// Whether the library's appending writer continues a file: one of more
// than a file header, below the limit (0: none); else it starts anew.
bool continues(const std::string &path, long long limit);

// An output file that is complete or untouched. create writes under a
// temporary name beside the file, which commit renames into place (or,
// for a device or pipe, copies into it); append continues an existing
// file in place, and discard cuts it back to its old size. A terminating
// signal (SIGINT, SIGTERM, SIGHUP, SIGXFSZ) discards them too.
class PendingFile {
public:
    PendingFile() = default;
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;
    ~PendingFile();

    // Both false with errno set.
    bool create(const std::string &final_path);
    bool append(const std::string &path);
    FILE *stream() const { return stream_; }
    // Hands the stream to an owner that will close it; flush stays
    // usable until then.
    FILE *release_stream();
    // Everything written so far is on disk; false with errno set.
    bool flush();
    // Closes the stream if still held and puts a created file in place as
    // target; false with errno set, the file then discarded.
    bool commit(const std::string &target);
    void discard();

private:
    std::string temp_;      // a created file's temporary name
    int append_fd_ = -1;    // an appended file, to cut it back
    off_t old_size_ = 0;
    int slot_ = -1;         // of the undo on a terminating signal
    FILE *stream_ = nullptr;
    bool owned_ = false;
};

}  // namespace caplib_tool
