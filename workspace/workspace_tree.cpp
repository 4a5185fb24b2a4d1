#include "workspace/workspace_tree.h"

#include <vector>

namespace workspace {
namespace {

using platform::TreeEntry;
using platform::TreePath;

EntryTraits TraitsOf(const TreeEntry& entry) {
    return {entry.IsFolder(), entry.IsHidden(), entry.IsLink()};
}

}  // namespace

TreeStep StepFor(TreeWalk walk, EntryTraits entry) {
    if (walk == TreeWalk::Usage) {
        // Usage counts every file by the size its listing gives, links among
        // them (deduplicated and placeholder files are links that carry real
        // sizes): nothing is followed. Hidden folders and links to folders
        // are left out.
        if (!entry.folder) return TreeStep::File;
        return entry.link || entry.hidden ? TreeStep::Skip : TreeStep::Descend;
    }
    if (entry.link) return TreeStep::Link;
    return entry.folder ? TreeStep::Descend : TreeStep::File;
}

bool DeleteTree(const TreePath& root) {
    const platform::PathState state = platform::StateOf(root);
    // "Not there" is asked twice before it is believed: true must never be
    // given for a workspace that remains.
    if (state.IsAbsent()) return platform::StateOf(root).IsAbsent();
    if (!state.IsFolder()) {
        // A file, or a link (to a folder or not): removed itself, never followed.
        TreeEntry self;
        self.attributes = state.attributes;
        platform::RemoveEntry(root, self);
        return platform::StateOf(root).IsAbsent();
    }
    // Depth first without recursion, so that no depth can exhaust the stack:
    // a folder is listed when first met and removed once what was below it is.
    struct Folder {
        TreePath path;
        uint32_t attributes;
        bool listed;
    };
    std::vector<Folder> pending;
    pending.push_back({root, state.attributes, false});
    while (!pending.empty()) {
        if (pending.back().listed) {
            platform::RemoveEmptyFolder(pending.back().path, pending.back().attributes);
            pending.pop_back();
            continue;
        }
        pending.back().listed = true;
        const TreePath folder = pending.back().path;
        for (const TreeEntry& entry : platform::ListFolder(folder).entries) {
            TreePath child = folder.Child(entry.name);
            if (StepFor(TreeWalk::Delete, TraitsOf(entry)) == TreeStep::Descend) {
                pending.push_back({std::move(child), entry.attributes, false});
            } else {
                platform::RemoveEntry(child, entry);
            }
        }
    }
    return platform::StateOf(root).IsAbsent();
}

bool CopyTree(const TreePath& from, const TreePath& to) {
    const platform::FolderMade top = platform::MakeFolder(to);
    if (top == platform::FolderMade::Failed) return false;
    bool whole = true;
    struct Pair {
        TreePath source, destination;
        bool destinationIsNew;
    };
    std::vector<Pair> pending;
    pending.push_back({from, to, top == platform::FolderMade::Created});
    while (!pending.empty()) {
        const Pair pair = std::move(pending.back());
        pending.pop_back();
        const platform::FolderListing listing = platform::ListFolder(pair.source);
        whole = whole && listing.complete;
        for (const TreeEntry& entry : listing.entries) {
            TreePath source = pair.source.Child(entry.name);
            TreePath destination = pair.destination.Child(entry.name);
            switch (StepFor(TreeWalk::Copy, TraitsOf(entry))) {
                case TreeStep::Descend: {
                    const auto made = platform::MakeFolder(destination, entry.attributes);
                    if (made == platform::FolderMade::Failed) {
                        whole = false;
                    } else {
                        pending.push_back({std::move(source), std::move(destination),
                                           made == platform::FolderMade::Created});
                    }
                    break;
                }
                case TreeStep::File:
                    whole = platform::CopyFileOnto(source, destination, entry.attributes,
                                                   !pair.destinationIsNew) &&
                            whole;
                    break;
                case TreeStep::Link:
                case TreeStep::Skip:
                    whole = false;  // nothing is copied through a link
                    break;
            }
        }
    }
    return whole;
}

double FolderSizeKiB(const TreePath& root) {
    // Best effort: a folder that cannot be listed, or that went away while
    // the walk ran (the recorder moves files all the time), counts what was
    // read of it, and the rest is summed.
    double total = 0.0;
    std::vector<TreePath> pending{root};
    while (!pending.empty()) {
        const TreePath folder = std::move(pending.back());
        pending.pop_back();
        for (const TreeEntry& entry : platform::ListFolder(folder).entries) {
            switch (StepFor(TreeWalk::Usage, TraitsOf(entry))) {
                case TreeStep::File:
                    total += static_cast<double>(entry.size / 1024);
                    break;
                case TreeStep::Descend:
                    pending.push_back(folder.Child(entry.name));
                    break;
                case TreeStep::Link:
                case TreeStep::Skip:
                    break;
            }
        }
    }
    return total;
}

}  // namespace workspace
