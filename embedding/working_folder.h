// An empty working folder of the program's own, below the temporary folder,
// for as long as the owner lives: whatever page script does by a relative
// path lands there, never where the program was started (beside the
// extension and the host manifest, or in the user's files). Removed again,
// if it is still empty, when the owner goes away.
#pragma once

#include <string>

namespace embedding {

class OwnWorkingFolder {
  public:
    explicit OwnWorkingFolder(const std::wstring& prefix);
    ~OwnWorkingFolder();
    OwnWorkingFolder(const OwnWorkingFolder&) = delete;
    OwnWorkingFolder& operator=(const OwnWorkingFolder&) = delete;

    // The folder; empty when none could be made (the working folder is then
    // left as it was).
    const std::wstring& Path() const { return folder_; }

  private:
    std::wstring folder_;
};

}  // namespace embedding
