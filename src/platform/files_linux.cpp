#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace telvora::platform {

namespace fs = std::filesystem;

namespace {

// Closes the descriptor when it goes out of scope.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    // Closes it now: false when the close reports a failure (a write that did not make it).
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

std::error_code LastError() {
    return {errno, std::generic_category()};
}

}  // namespace

std::optional<std::string> ReadWholeFile(const fs::path& file, std::error_code& error) {
    error.clear();
    // Non-blocking, so that opening a pipe does not wait for a writer; it is refused below.
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        error = LastError();
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        error = LastError();
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        error = std::make_error_code(S_ISDIR(info.st_mode) ? std::errc::is_a_directory
                                                           : std::errc::invalid_argument);
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error = LastError();
            return std::nullopt;
        }
        if (n == 0) {
            return bytes;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

std::optional<std::string> ReadWholeFile(const fs::path& file) {
    std::error_code ignored;
    return ReadWholeFile(file, ignored);
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return ::fsync(fd) == 0 || errno == EINVAL;
}

bool IsWritable(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return false;
    }
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && ::access(path.c_str(), W_OK) == 0;
}

bool ReplaceViaSibling(const fs::path& target, std::string_view bytes, mode_t mode) {
    std::error_code ignored;
    return ReplaceViaSibling(target, bytes, mode, ignored);
}

bool ReplaceViaSibling(const fs::path& target, std::string_view bytes, mode_t mode,
                       std::error_code& error) {
    // Unique among the threads and processes that may write the same file at once.
    static std::atomic<unsigned> counter{0};
    const fs::path temp =
        target.parent_path() / ("." + target.filename().string() + ".tmp-" +
                                std::to_string(::getpid()) + "-" + std::to_string(counter++));
    FileDescriptor fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (fd.get() < 0) {
        error = LastError();
        return false;
    }
    bool ok = WriteAll(fd.get(), bytes);
    if (!ok) {
        error = LastError();
    }
    if (!fd.Close() && ok) {
        error = LastError();
        ok = false;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        error = LastError();
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
    }
    return ok;
}

}  // namespace telvora::platform
