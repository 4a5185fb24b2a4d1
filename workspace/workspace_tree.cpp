#include "workspace/workspace_tree.h"

#include <optional>
#include <vector>

namespace workspace {
namespace {

using platform::TreeEntry;
using platform::TreePath;

EntryTraits TraitsOf(const TreeEntry& entry) {
    return {entry.IsFolder(), entry.IsHidden(), entry.IsLink()};
}

// A walk's count: what it has listed, what it has done, and how many of the
// folders it will visit it has not listed yet. The totals are known once
// every such folder is listed.
class Tally {
  public:
    explicit Tally(const ProgressFunction& progress) : progress_(progress) {}
    // With the totals counted before the walk began.
    Tally(const ProgressFunction& progress, const WalkProgress& totals)
        : progress_(progress), now_(totals), counted_(true) {}

    void FolderListed(const std::vector<TreeEntry>& entries, size_t foldersToVisit) {
        if (counted_) return;
        for (const TreeEntry& entry : entries) now_.bytesTotal += entry.IsFolder() ? 0 : entry.size;
        now_.entriesTotal += entries.size();
        unlisted_ += foldersToVisit;
        --unlisted_;
        now_.totalsKnown = unlisted_ == 0;
    }
    // A folder it meant to visit that cannot be entered.
    void FolderDropped() {
        if (!counted_) now_.totalsKnown = --unlisted_ == 0;
    }
    // One entry dealt with; false when the walk must stop.
    bool Done(const TreeEntry& entry) {
        ++now_.entriesDone;
        now_.bytesDone += entry.IsFolder() ? 0 : entry.size;
        return GoOn(progress_, now_);
    }

  private:
    const ProgressFunction& progress_;
    WalkProgress now_;
    bool counted_ = false;
    size_t unlisted_ = 1;  // the root
};

// For a walk someone follows, the entries and bytes it will meet, counted
// first by a walk of the same kind that only lists, so that the totals are
// known from the start. Nothing when nobody follows or the count was stopped.
std::optional<WalkProgress> CountAhead(TreeWalk walk, const TreePath& root,
                                       const ProgressFunction& progress) {
    if (!progress) return std::nullopt;
    WalkProgress totals;
    std::vector<TreePath> pending{root};
    while (!pending.empty()) {
        if (!progress(totals)) return std::nullopt;
        const TreePath folder = std::move(pending.back());
        pending.pop_back();
        for (const TreeEntry& entry : platform::ListFolder(folder).entries) {
            ++totals.entriesTotal;
            totals.bytesTotal += entry.IsFolder() ? 0 : entry.size;
            if (StepFor(walk, TraitsOf(entry)) == TreeStep::Descend) {
                pending.push_back(folder.Child(entry.name));
            }
        }
    }
    totals.totalsKnown = true;
    return totals;
}

Tally TallyFor(TreeWalk walk, const TreePath& root, const ProgressFunction& progress,
               bool& stopped) {
    const auto totals = CountAhead(walk, root, progress);
    stopped = progress && !totals;
    return totals ? Tally(progress, *totals) : Tally(progress);
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

bool DeleteTree(const TreePath& root, const ProgressFunction& progress) {
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
    // The folders listed and waiting to be removed, as their parents listed them.
    std::vector<TreeEntry> folderEntries;
    bool stopped = false;
    Tally tally = TallyFor(TreeWalk::Delete, root, progress, stopped);
    bool goOn = !stopped;
    while (!pending.empty() && goOn) {
        if (pending.back().listed) {
            platform::RemoveEmptyFolder(pending.back().path, pending.back().attributes);
            pending.pop_back();
            if (!folderEntries.empty()) {
                goOn = tally.Done(folderEntries.back());
                folderEntries.pop_back();
            }
            continue;
        }
        pending.back().listed = true;
        const TreePath folder = pending.back().path;
        const std::vector<TreeEntry> entries = platform::ListFolder(folder).entries;
        size_t folders = 0;
        for (const TreeEntry& entry : entries) {
            folders += StepFor(TreeWalk::Delete, TraitsOf(entry)) == TreeStep::Descend;
        }
        tally.FolderListed(entries, folders);
        for (const TreeEntry& entry : entries) {
            TreePath child = folder.Child(entry.name);
            if (StepFor(TreeWalk::Delete, TraitsOf(entry)) == TreeStep::Descend) {
                pending.push_back({std::move(child), entry.attributes, false});
                folderEntries.push_back(entry);
            } else if (goOn) {
                platform::RemoveEntry(child, entry);
                goOn = tally.Done(entry);
            }
        }
    }
    return platform::StateOf(root).IsAbsent();
}

bool CopyTree(const TreePath& from, const TreePath& to, const ProgressFunction& progress) {
    const platform::FolderMade top = platform::MakeFolder(to);
    if (top == platform::FolderMade::Failed) return false;
    bool whole = true;
    struct Pair {
        TreePath source, destination;
        bool destinationIsNew;
    };
    std::vector<Pair> pending;
    pending.push_back({from, to, top == platform::FolderMade::Created});
    bool stopped = false;
    Tally tally = TallyFor(TreeWalk::Copy, from, progress, stopped);
    if (stopped) return false;
    while (!pending.empty()) {
        const Pair pair = std::move(pending.back());
        pending.pop_back();
        const platform::FolderListing listing = platform::ListFolder(pair.source);
        whole = whole && listing.complete;
        size_t folders = 0;
        for (const TreeEntry& entry : listing.entries) {
            folders += StepFor(TreeWalk::Copy, TraitsOf(entry)) == TreeStep::Descend;
        }
        tally.FolderListed(listing.entries, folders);
        for (const TreeEntry& entry : listing.entries) {
            TreePath source = pair.source.Child(entry.name);
            TreePath destination = pair.destination.Child(entry.name);
            switch (StepFor(TreeWalk::Copy, TraitsOf(entry))) {
                case TreeStep::Descend: {
                    const auto made = platform::MakeFolder(destination, entry.attributes);
                    if (made == platform::FolderMade::Failed) {
                        whole = false;
                        tally.FolderDropped();
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
            if (!tally.Done(entry)) return false;
        }
    }
    return whole;
}

double FolderSizeKiB(const TreePath& root, const ProgressFunction& progress) {
    // Best effort: a folder that cannot be listed, or that went away while
    // the walk ran (the recorder moves files all the time), counts what was
    // read of it, and the rest is summed.
    double total = 0.0;
    std::vector<TreePath> pending{root};
    Tally tally(progress);
    while (!pending.empty()) {
        const TreePath folder = std::move(pending.back());
        pending.pop_back();
        const std::vector<TreeEntry> entries = platform::ListFolder(folder).entries;
        size_t folders = 0;
        for (const TreeEntry& entry : entries) {
            folders += StepFor(TreeWalk::Usage, TraitsOf(entry)) == TreeStep::Descend;
        }
        tally.FolderListed(entries, folders);
        for (const TreeEntry& entry : entries) {
            if (!tally.Done(entry)) return total;
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
