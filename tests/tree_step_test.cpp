// What each workspace walk does with an entry, decided apart from the file
// system: Wine cannot show every kind of link, so the rule is held here.
#include <gtest/gtest.h>

#include "workspace/workspace_tree.h"

namespace {

using workspace::EntryTraits;
using workspace::StepFor;
using workspace::TreeStep;
using workspace::TreeWalk;

struct Case {
    EntryTraits entry;
    TreeStep remove, copy, usage;
};

TEST(TreeSteps, LinksAreNeverEnteredAndHiddenFoldersAreLeftOutOfUsageOnly) {
    const EntryTraits file{}, hiddenFile{false, true, false}, folder{true, false, false},
        hiddenFolder{true, true, false}, folderLink{true, false, true},
        hiddenFolderLink{true, true, true}, fileLink{false, false, true},
        hiddenFileLink{false, true, true};
    const Case cases[] = {
        {file, TreeStep::File, TreeStep::File, TreeStep::File},
        {hiddenFile, TreeStep::File, TreeStep::File, TreeStep::File},
        {folder, TreeStep::Descend, TreeStep::Descend, TreeStep::Descend},
        {hiddenFolder, TreeStep::Descend, TreeStep::Descend, TreeStep::Skip},
        {folderLink, TreeStep::Link, TreeStep::Link, TreeStep::Skip},
        {hiddenFolderLink, TreeStep::Link, TreeStep::Link, TreeStep::Skip},
        // A link to a file is counted by its listed size, never followed.
        {fileLink, TreeStep::Link, TreeStep::Link, TreeStep::File},
        {hiddenFileLink, TreeStep::Link, TreeStep::Link, TreeStep::File},
    };
    for (const Case& c : cases) {
        const auto& e = c.entry;
        const std::string what = std::string(e.folder ? "folder" : "file") +
                                 (e.hidden ? " hidden" : "") + (e.link ? " link" : "");
        EXPECT_EQ(StepFor(TreeWalk::Delete, e), c.remove) << what;
        EXPECT_EQ(StepFor(TreeWalk::Copy, e), c.copy) << what;
        EXPECT_EQ(StepFor(TreeWalk::Usage, e), c.usage) << what;
    }
}

}  // namespace
