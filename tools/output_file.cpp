// Output files of the caplib tool: checked first, then whole or untouched.
#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <iterator>
#include <cstdlib>
#include <cstring>

namespace caplib_tool {
namespace {

// The file a name leads to, symlinks followed; the name itself when it
// leads nowhere yet.
std::string resolved(const std::string &path) {
    char *real = realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string r = real;
    std::free(real);
    return r;
}

// A device or a pipe cannot be replaced by a rename: the finished file is
// copied into it. False with errno of the failing call.
bool copy_into(const std::string &from, const std::string &to) {
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    int out = open(to.c_str(), O_WRONLY | O_CLOEXEC);
    bool ok = out >= 0;
    static char buffer[1 << 16];
    while (ok) {
        ssize_t n = read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            ssize_t w = write(out, buffer + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            ok = w >= 0;
            if (ok) done += w;
        }
    }
    int saved = errno;
    if (out >= 0 && close(out) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    close(in);
    errno = saved;
    return ok;
}

// What a terminating signal undoes before the process ends: the temporary
// files and the additions of the pending files alive. A slot is filled
// before it is marked used, so the handler reads only whole slots.
struct Undo {
    char temp[PATH_MAX];
    int fd;
    off_t size;
    volatile sig_atomic_t used;
};
Undo g_undo[8];

void undo_and_die(int sig) {
    for (Undo &u : g_undo) {
        if (!u.used) continue;
        if (u.temp[0]) unlink(u.temp);
        if (u.fd >= 0) {
            int rc = ftruncate(u.fd, u.size);
            (void)rc;
        }
    }
    raise(sig);  // the default action, once the handler returns
}

// A slot for a temporary file or an appended one (fd, old size); -1 when
// all are taken, which only loses the undo on a signal.
int hold(const std::string &temp, int fd, off_t size) {
    static bool installed = false;
    if (!installed) {
        installed = true;
        struct sigaction action = {};
        action.sa_handler = undo_and_die;
        action.sa_flags = SA_RESETHAND;
        // An ignored signal (nohup, a file size limit with SIGXFSZ
        // ignored) stays ignored.
        for (int sig : {SIGHUP, SIGINT, SIGTERM, SIGXFSZ}) {
            struct sigaction old;
            if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) sigaction(sig, &action, nullptr);
        }
    }
    if (temp.size() >= PATH_MAX) return -1;
    for (int i = 0; i < static_cast<int>(std::size(g_undo)); ++i) {
        Undo &u = g_undo[i];
        if (u.used) continue;
        std::memcpy(u.temp, temp.c_str(), temp.size() + 1);
        u.fd = fd;
        u.size = size;
        u.used = 1;
        return i;
    }
    return -1;
}

void release(int &slot) {
    if (slot >= 0) g_undo[slot].used = 0;
    slot = -1;
}

}  // namespace

std::string open_error(const std::string &path, int error) {
    return "cannot open " + path + " for writing: " + std::strerror(error);
}

std::string write_error(const std::string &path, int error) {
    return "writing " + path + " failed: " + std::strerror(error);
}

std::string read_error(const std::string &path, int error) {
    return "cannot read " + path + ": " + std::strerror(error);
}

std::string refuse_output(const std::string &path) {
    struct stat out;
    if (stat(path.c_str(), &out) != 0) return "";
    if (access(path.c_str(), W_OK) != 0) return "cannot write " + path + ": " + std::strerror(errno);
    if (!(out.st_mode & 0222)) return "cannot write " + path + ": " + std::strerror(EACCES);
    return "";
}

bool continues(const std::string &path, long long limit) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 64 &&
           (limit == 0 || st.st_size < limit);
}

PendingFile::~PendingFile() { discard(); }

bool PendingFile::create(const std::string &final_path) {
    discard();
    // Beside the file a symlink leads to, so that the rename stays on its
    // file system and replaces that file, not the link.
    std::string real = resolved(final_path);
    struct stat st;
    bool replaces = stat(real.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    std::string templ = (replaces ? real : final_path) + ".XXXXXX";
    int fd = mkstemp(templ.data());
    if (fd < 0) return false;
    // mkstemp makes the file private: a replaced file keeps its mode, a
    // new one gets what a plain create would give it.
    mode_t mode = st.st_mode & 07777;
    if (!replaces) {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    fchmod(fd, mode);
    stream_ = fdopen(fd, "wb");
    if (!stream_) {
        int saved = errno;
        close(fd);
        unlink(templ.c_str());
        errno = saved;
        return false;
    }
    temp_ = templ;
    owned_ = true;
    slot_ = hold(temp_, -1, 0);
    return true;
}

bool PendingFile::append(const std::string &path) {
    discard();
    stream_ = std::fopen(path.c_str(), "ab");
    if (!stream_) return false;
    struct stat st;
    append_fd_ = fstat(fileno(stream_), &st) == 0 ? dup(fileno(stream_)) : -1;
    if (append_fd_ < 0) {
        int saved = errno;
        std::fclose(stream_);
        stream_ = nullptr;
        errno = saved;
        return false;
    }
    old_size_ = st.st_size;
    owned_ = true;
    slot_ = hold("", append_fd_, old_size_);
    return true;
}

FILE *PendingFile::release_stream() {
    owned_ = false;
    return stream_;
}

bool PendingFile::flush() {
    if (!stream_) {
        errno = EBADF;
        return false;
    }
    if (std::fflush(stream_) != 0) return false;
    if (std::ferror(stream_)) {
        errno = EIO;
        return false;
    }
    return fsync(fileno(stream_)) == 0;
}

bool PendingFile::commit(const std::string &target) {
    bool ok = true;
    if (owned_ && stream_) ok = std::fclose(stream_) == 0;
    stream_ = nullptr;
    owned_ = false;
    if (ok && !temp_.empty()) {
        std::string real = resolved(target);
        struct stat st;
        if (stat(real.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
            ok = copy_into(temp_, real);
            if (ok) unlink(temp_.c_str());
        } else {
            ok = std::rename(temp_.c_str(), real.c_str()) == 0;
        }
        if (ok) temp_.clear();
    }
    if (!ok) {
        int saved = errno;
        discard();
        errno = saved;
        return false;
    }
    release(slot_);
    if (append_fd_ >= 0) close(append_fd_);
    append_fd_ = -1;
    return true;
}

void PendingFile::discard() {
    if (owned_ && stream_) std::fclose(stream_);
    stream_ = nullptr;
    owned_ = false;
    if (!temp_.empty()) unlink(temp_.c_str());
    temp_.clear();
    if (append_fd_ >= 0) {
        // Should this fail, the old records still stand whole in front.
        int rc = ftruncate(append_fd_, old_size_);
        (void)rc;
        close(append_fd_);
        append_fd_ = -1;
    }
    release(slot_);
}

}  // namespace caplib_tool
