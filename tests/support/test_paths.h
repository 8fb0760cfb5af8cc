#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace flickbook::testsupport {

std::filesystem::path testdata();

// A fresh empty folder, removed when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

std::vector<std::uint8_t> readBytes(const std::filesystem::path& file);
void writeBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);

} // namespace flickbook::testsupport
