#include "base/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace zel {

namespace {

bool Fail(std::string* err, const std::string& what) {
    if (err) *err = what + ": " + std::strerror(errno);
    return false;
}

}  // namespace

bool AtomicWriteFile(const std::string& path, std::string_view bytes, std::string* err) {
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    std::string tmpl = path + ".tmpXXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) return Fail(err, "cannot create a temporary file beside " + path);
    const std::string tmp(name.data());
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            const bool r = Fail(err, "cannot write " + tmp);
            ::close(fd);
            ::unlink(tmp.c_str());
            return r;
        }
        done += static_cast<size_t>(n);
    }
    // mkstemp creates the file 0600; give it the usual permissions of a user file.
    ::fchmod(fd, 0644);
    if (::fsync(fd) != 0) {
        const bool r = Fail(err, "cannot flush " + tmp);
        ::close(fd);
        ::unlink(tmp.c_str());
        return r;
    }
    if (::close(fd) != 0) {
        const bool r = Fail(err, "cannot close " + tmp);
        ::unlink(tmp.c_str());
        return r;
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const bool r = Fail(err, "cannot replace " + path);
        ::unlink(tmp.c_str());
        return r;
    }
    // Make the rename itself durable.
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    out.clear();
    out.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

bool HostFileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace zel
