// A page with one embed that works on workspaces of its own: an outer name
// no one else uses, removed with everything below it afterwards. The test's
// current folder is a scratch folder on C: holding a sentinel file, so that a
// path gone wrong (relative, or rooted at the current drive) shows there
// rather than anywhere else.
#pragma once

#include <filesystem>
#include <string>

#include "tests/support/plugin_fixture.h"
#include "tests/support/temp_folder.h"

namespace testing_support {

class WorkspaceTest : public ScriptTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The workspace root, the set folder of `inner` and a workspace in it.
    std::filesystem::path Root() const { return root_; }
    std::filesystem::path Set(const std::string& inner = "In") const;
    std::filesystem::path Ws(const std::string& name, const std::string& inner = "In") const;

    // Every file and folder below `folder` with its size, one per line: a
    // snapshot to compare before and after a call.
    static std::string Tree(const std::filesystem::path& folder);
    // The snapshot of everything a workspace call could reach by mistake.
    std::string Surroundings() const;

    std::optional<bool> Flag(const std::string& method, const std::vector<embedding::Value>& args) {
        return FlagOf(Call(method, args));
    }

    // How read-only files behave here, asked of the system with a file in
    // the scratch folder. Windows refuses to write a read-only file but lets
    // its attributes be changed through a handle, which is how the walks
    // replace and remove one. Wine run as root writes it all the same (a
    // test of that cannot fail there); Wine run as an ordinary user asks Unix
    // write permission for a change of attributes too, so nothing read-only
    // can be replaced or removed there at all. The Windows kit runs what
    // skips here. Each gives why a test skips, or "" where it can run:
    //  - it holds read-only files, and needs them removable;
    std::string WhyNoReadOnlyFiles() const;
    //  - it shows how read-only files are replaced and removed.
    std::string WhyReadOnlyFilesDiffer() const;

    std::string outer;  // this test's own outer name
    TempFolder scratch;

  private:
    std::filesystem::path root_;
    std::wstring previousFolder_;
};

}  // namespace testing_support
