// A file held open by another process (the test helper) with a chosen
// sharing mode, until released.
#pragma once

#include <filesystem>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace testing_support {

class HeldFile {
  public:
    // share: "rw" lets others read and write, "r" only read, "w" only write,
    // "rwd" read, write and delete (as an indexer does), "none" nothing.
    HeldFile(const TempFolder& folder, const std::filesystem::path& file, const char* share);
    ~HeldFile() { Release(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    // True once the other process has the file open.
    bool Holding();
    void Release();

  private:
    std::filesystem::path ready_, release_;
    ChildProcess holder_;
};

}  // namespace testing_support
