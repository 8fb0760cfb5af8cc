#include "core/output_file.h"

#include "core/temporary_files.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace flickbook {

namespace fs = std::filesystem;

namespace {

std::string systemError(int error) {
    return std::strerror(error);
}

// rename() that fails instead of replacing what is at the destination.
int renameNoReplace(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // File systems without RENAME_NOREPLACE: a hard link fails the same way.
    if (::link(from.c_str(), to.c_str()) != 0)
        return errno;
    ::unlink(from.c_str());
    return 0;
}

} // namespace

Result<OutputFile> OutputFile::create(const fs::path& destination) {
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(destination, ec)))
        return makeError("file.exists", destination.string() + " is a folder; give a file name.");
    if (fs::exists(fs::symlink_status(destination, ec)))
        return makeError("file.exists", destination.string() + " already exists.");
    // The owner's process id in the name lets a later start tell a file
    // left by a killed process from one still being written.
    std::string pattern =
        (destination.parent_path() / ("." + destination.filename().string() + "." +
                                      std::to_string(::getpid()) + "-XXXXXX.part"))
            .string();
    const int fd = ::mkstemps(pattern.data(), 5);
    if (fd < 0)
        return makeError("file.create", "Cannot write in " + destination.parent_path().string() +
                                            ": " + systemError(errno) + ".");
    ::fchmod(fd, 0644); // an ordinary document, not a private file
    temporary::track(pattern);
    std::FILE* file = ::fdopen(fd, "w+b");
    if (!file) {
        const int error = errno;
        ::close(fd);
        ::unlink(pattern.c_str());
        return makeError("file.create", "Cannot write " + pattern + ": " + systemError(error));
    }
    return OutputFile(file, pattern, destination);
}

OutputFile::OutputFile(std::FILE* file, fs::path temporary, fs::path destination)
    : file_(file), temporary_(std::move(temporary)), destination_(std::move(destination)) {}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : file_(other.file_), temporary_(std::move(other.temporary_)),
      destination_(std::move(other.destination_)), committed_(other.committed_) {
    other.file_ = nullptr;
    other.committed_ = true; // the moved-from object owns nothing to remove
}

OutputFile::~OutputFile() {
    discard();
}

void OutputFile::discard() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!committed_ && !temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary::untrack(temporary_);
        committed_ = true;
    }
}

Result<void> OutputFile::write(std::span<const std::uint8_t> bytes) {
    if (!file_)
        return makeError("file.write", "The file is already closed.");
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        return makeError("file.write", "Writing " + destination_.string() +
                                           " failed: " + systemError(errno) + ".");
    return {};
}

Result<void> OutputFile::commit() {
    if (!file_)
        return makeError("file.write", "The file is already closed.");
    const bool flushed = std::fflush(file_) == 0 && ::fsync(::fileno(file_)) == 0;
    const int flushError = errno;
    const bool closed = std::fclose(file_) == 0;
    const int closeError = errno;
    file_ = nullptr;
    if (!flushed || !closed) {
        discard();
        return makeError("file.write", "Writing " + destination_.string() + " failed: " +
                                           systemError(flushed ? closeError : flushError) + ".");
    }
    if (const int error = renameNoReplace(temporary_, destination_); error != 0) {
        discard();
        if (error == EEXIST)
            return makeError("file.exists", destination_.string() + " already exists.");
        return makeError("file.write",
                         "Cannot place " + destination_.string() + ": " + systemError(error) + ".");
    }
    committed_ = true;
    temporary::untrack(temporary_);
    return {};
}

Result<void> moveWithoutReplacing(const fs::path& from, const fs::path& to) {
    const int error = renameNoReplace(from, to);
    if (error == 0)
        return {};
    if (error == EEXIST)
        return makeError("file.exists", to.filename().string() + " already exists.");
    return makeError("file.move", "Cannot move " + from.filename().string() + " to " +
                                      to.parent_path().string() + ": " + systemError(error) + ".");
}

fs::path uniquePathIn(const fs::path& folder, const std::string& prefix,
                      const std::string& suffix) {
    static std::atomic<unsigned> counter{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    for (;;) {
        const fs::path candidate =
            folder / (prefix + std::to_string(::getpid()) + "-" + std::to_string(now) + "-" +
                      std::to_string(counter++) + suffix);
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(candidate, ec)))
            return candidate;
    }
}

} // namespace flickbook
