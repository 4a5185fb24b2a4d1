// The three walks over a whole workspace tree: delete, copy and measure. Each
// walks the tree itself, at any depth, and never through a link: a link is
// removed as a link, never copied through, never counted. None of them acts
// on a path outside the folder it was given.
#pragma once

#include "platform/file_tree.h"
#include "workspace/walk_progress.h"

namespace workspace {

enum class TreeWalk { Delete, Copy, Usage };

// What a walk does with one entry it meets.
enum class TreeStep {
    Descend,  // a folder: walk into it
    File,     // a file: delete, copy or count it
    Link,     // a link: delete removes the link itself; a copy fails
    Skip,     // left alone
};

struct EntryTraits {
    bool folder = false;
    bool hidden = false;
    bool link = false;
};

TreeStep StepFor(TreeWalk walk, EntryTraits entry);

// Each walk tells `progress` of every entry it has dealt with, and stops
// when told to: a stopped delete leaves what it has not yet removed, a
// stopped copy leaves what it has copied, and a stopped measure gives what
// it has counted.

// Removes `root` and everything below it. True when nothing of it remains.
bool DeleteTree(const platform::TreePath& root, const ProgressFunction& progress = {});

// Copies the content of the folder `from` into `to`, creating `to` when it is
// missing and replacing same-named files in it. True when every entry was
// copied; what was copied stays either way.
bool CopyTree(const platform::TreePath& from, const platform::TreePath& to,
              const ProgressFunction& progress = {});

// Whole KiB of every file below `root`, hidden files and links to files
// counted by their listed size, hidden folders and links to folders left
// out; a folder that cannot be listed counts 0.
double FolderSizeKiB(const platform::TreePath& root, const ProgressFunction& progress = {});

}  // namespace workspace
