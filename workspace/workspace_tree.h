// The three walks over a whole workspace tree: delete, copy and measure. Each
// walks the tree itself, at any depth, and never through a link: a link is
// removed as a link, never copied through, never counted. The folder that
// holds a workspace is reached by its path, links on the way followed (an
// administrator may have moved a whole set elsewhere with a junction); the
// workspace itself, and everything below it, only from there by handle, as
// the listing gave it. None of them acts on a path outside the folder it was
// given.
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
    bool link = false;     // a symbolic link or junction (platform::IsLink)
    bool reparse = false;  // any reparse point, links among them
};

EntryTraits TraitsOf(const platform::TreeEntry& entry);
TreeStep StepFor(TreeWalk walk, EntryTraits entry);

// Each walk tells `progress` of every entry it has dealt with, and stops
// when told to: a stopped delete leaves what it has not yet removed, a
// stopped copy leaves what it has copied, and a stopped measure gives what
// it has counted.

// Removes `root` and everything below it, or the file or link `root` is.
// True when its folder no longer lists it.
bool DeleteTree(const platform::TreePath& root, const ProgressFunction& progress = {});

// Copies the content of the folder `from` into `to`, creating `to` when it is
// missing and replacing same-named files in it. True when every entry was
// copied, or when both name one folder of one parent; what was copied stays
// either way. False when `from` is not a real folder, or `to` is a file or a
// link.
bool CopyTree(const platform::TreePath& from, const platform::TreePath& to,
              const ProgressFunction& progress = {});

// Whole KiB of every file below `root` (reached by its path), hidden files
// and links to files counted by their listed size, hidden folders and
// folders that are reparse points left out; a folder that cannot be listed
// counts 0.
double FolderSizeKiB(const platform::TreePath& root, const ProgressFunction& progress = {});

}  // namespace workspace
