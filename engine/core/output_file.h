#pragma once

// A file that appears at its destination complete or not at all: bytes go to
// a hidden temporary file beside the destination, and commit() renames it
// into place without ever replacing an existing file. A file that is never
// committed is removed.

#include "core/result.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>

namespace flickbook {

class OutputFile {
public:
    // Errors: "file.exists" when something is already at the destination,
    // "file.create" when the temporary file cannot be made.
    static Result<OutputFile> create(const std::filesystem::path& destination);

    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&&) = delete;
    ~OutputFile();

    // "file.write" on failure (a full disk, for instance).
    Result<void> write(std::span<const std::uint8_t> bytes);
    // Flushes to disk and renames into place; "file.exists" if the
    // destination was taken meanwhile.
    Result<void> commit();

    // For writers that seek back and patch what they wrote (video
    // containers); open for reading too. Null once committed.
    std::FILE* stream() const { return file_; }

    const std::filesystem::path& destination() const { return destination_; }
    const std::filesystem::path& temporaryPath() const { return temporary_; }

private:
    OutputFile(std::FILE* file, std::filesystem::path temporary, std::filesystem::path destination);
    void discard();

    std::FILE* file_ = nullptr;
    std::filesystem::path temporary_;
    std::filesystem::path destination_;
    bool committed_ = false;
};

// Moves a finished file to a new name on the same file system without ever
// replacing what is there: "file.exists" when the name is taken,
// "file.move" with the system's reason otherwise (folder gone, no permission).
Result<void> moveWithoutReplacing(const std::filesystem::path& from,
                                  const std::filesystem::path& to);

// A name in folder that nothing uses yet: prefix + a unique part + suffix.
std::filesystem::path uniquePathIn(const std::filesystem::path& folder, const std::string& prefix,
                                   const std::string& suffix);

} // namespace flickbook
