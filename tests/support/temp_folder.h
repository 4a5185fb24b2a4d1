// A uniquely named folder below the temporary folder, removed with all its
// content when the owner goes away.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder, or a path below it, as the narrow text page script passes.
    std::string Text(const std::string& below = {}) const;

  private:
    std::filesystem::path path_;
};

// Whole-file helpers in binary mode, so tests see the exact bytes.
std::string ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const std::string& bytes);
// Names of the entries of a folder, sorted.
std::string ListFolder(const std::filesystem::path& folder);

}  // namespace testing_support
