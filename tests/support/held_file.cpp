#include "tests/support/held_file.h"

namespace testing_support {

namespace fs = std::filesystem;

HeldFile::HeldFile(const TempFolder& folder, const fs::path& file, const char* share)
    : ready_(folder.path() / "held.ready"),
      release_(folder.path() / "held.release"),
      holder_(ProgramBeside("test-helper.exe") + " hold \"" + file.string() + "\" " + share +
              " \"" + ready_.string() + "\" \"" + release_.string() + "\"") {}

bool HeldFile::Holding() {
    return holder_.Started() && WaitUntil([&] { return fs::exists(ready_); }, 10000);
}

void HeldFile::Release() {
    std::error_code ignored;
    if (!fs::exists(release_, ignored)) WriteBytes(release_, "go");
    holder_.WaitForExit(10000);
    fs::remove(ready_, ignored);
    fs::remove(release_, ignored);
}

}  // namespace testing_support
