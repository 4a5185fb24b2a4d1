#include "workspace/workspace_tree.h"

#include <cwctype>
#include <map>
#include <optional>
#include <vector>

namespace workspace {
namespace {

using platform::FolderListing;
using platform::HeldFolder;
using platform::TreeEntry;
using platform::TreePath;
using Use = HeldFolder::Use;

// A name as Windows compares names in a folder: without regard to case
// (ASCII and the common letters; the file system has the last word, and a
// name it takes as taken makes a new one fail to be created).
std::wstring Folded(const std::wstring& name) {
    std::wstring folded = name;
    for (wchar_t& c : folded) c = static_cast<wchar_t>(std::towlower(c));
    return folded;
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

// For a walk someone follows, the entries and bytes it will meet below the
// folder `root` of `parent`, counted first by a walk of the same kind that
// only lists, so that the totals are known from the start. Nothing when
// nobody follows or the count was stopped.
std::optional<WalkProgress> CountAhead(TreeWalk walk, const HeldFolder& parent,
                                       const TreeEntry& root, const ProgressFunction& progress) {
    if (!progress) return std::nullopt;
    WalkProgress totals;
    auto top = parent.Enter(root, Use::Read);
    std::vector<HeldFolder> pending;
    if (top) pending.push_back(std::move(*top));
    while (!pending.empty()) {
        if (!progress(totals)) return std::nullopt;
        const HeldFolder folder = std::move(pending.back());
        pending.pop_back();
        for (const TreeEntry& entry : folder.List().entries) {
            ++totals.entriesTotal;
            totals.bytesTotal += entry.IsFolder() ? 0 : entry.size;
            if (StepFor(walk, TraitsOf(entry)) != TreeStep::Descend) continue;
            if (auto inside = folder.Enter(entry, Use::Read)) {
                pending.push_back(std::move(*inside));
            }
        }
    }
    totals.totalsKnown = true;
    return totals;
}

Tally TallyFor(TreeWalk walk, const HeldFolder& parent, const TreeEntry& root,
               const ProgressFunction& progress, bool& stopped) {
    const auto totals = CountAhead(walk, parent, root, progress);
    stopped = progress && !totals;
    return totals ? Tally(progress, *totals) : Tally(progress);
}

// The folder that holds `path`, reached by its path, and what it lists for
// the name `path` ends in (a short name taken in its long form).
struct Reached {
    std::optional<HeldFolder> parent;
    FolderListing listing;
    std::wstring name;
    const TreeEntry* entry = nullptr;
};
Reached Reach(const TreePath& path, Use use) {
    Reached reached;
    if (const auto parentPath = path.Parent()) reached.parent = HeldFolder::Open(*parentPath, use);
    if (reached.parent) {
        reached.listing = reached.parent->List();
        reached.name = platform::LongName(path);
        reached.entry = reached.listing.Find(reached.name);
    }
    return reached;
}

// Whether `folder` lists nothing of the name, read whole twice: "not there"
// is never taken on one word, and true is never given for what remains.
bool NotListed(const HeldFolder& folder, const std::wstring& name) {
    for (int time = 0; time < 2; ++time) {
        const FolderListing listing = folder.List();
        if (!listing.complete || listing.Find(name)) return false;
    }
    return true;
}

}  // namespace

EntryTraits TraitsOf(const TreeEntry& entry) {
    return {entry.IsFolder(), entry.IsHidden(), entry.IsLink(), entry.IsReparsePoint()};
}

TreeStep StepFor(TreeWalk walk, EntryTraits entry) {
    if (walk == TreeWalk::Usage) {
        // Usage counts every file by the size its listing gives, links and
        // other reparse points among them: nothing is followed. Hidden
        // folders and folders that are reparse points are left out.
        if (!entry.folder) return TreeStep::File;
        return entry.reparse || entry.hidden ? TreeStep::Skip : TreeStep::Descend;
    }
    if (entry.link) return TreeStep::Link;
    return entry.folder ? TreeStep::Descend : TreeStep::File;
}

namespace {

// One pass of the delete, and whether every file and link it met was set
// going (a name it could not take, or a folder it could not enter, is not).
bool DeleteOnce(const TreePath& root, const ProgressFunction& progress, bool& allSetGoing) {
    allSetGoing = true;
    const Reached reached = Reach(root, Use::Read);
    if (!reached.parent) {
        // A parent that is not there holds nothing: asked twice.
        const auto parentPath = root.Parent();
        return parentPath && platform::StateOf(*parentPath).IsAbsent() &&
               platform::StateOf(*parentPath).IsAbsent();
    }
    const HeldFolder& parent = *reached.parent;
    const std::wstring& name = reached.name;
    // Nothing of the name listed, nor there by its path.
    if (!reached.entry) return NotListed(parent, name) && platform::StateOf(root).IsAbsent();
    const TreeEntry self = *reached.entry;
    if (StepFor(TreeWalk::Delete, TraitsOf(self)) != TreeStep::Descend) {
        // A file, or a link (to a folder or not): removed itself, never followed.
        allSetGoing = parent.Remove(self);
        return NotListed(parent, name);
    }
    // Depth first without recursion, so that no depth can exhaust the stack,
    // and by handle: each folder is held open while the walk is inside it,
    // entered only when it is still the real folder its parent listed, and
    // what is below it is removed through handles of their own. A folder is
    // removed as its handle closes, once what was below it is gone.
    auto top = parent.Enter(self, Use::Delete);
    if (!top) {
        allSetGoing = false;
        return false;
    }
    struct Level {
        HeldFolder folder;
        std::vector<TreeEntry> entries;
        size_t next = 0;
        TreeEntry self;  // as its parent listed it
    };
    bool stopped = false;
    Tally tally = TallyFor(TreeWalk::Delete, parent, self, progress, stopped);
    bool goOn = !stopped;
    std::vector<Level> pending;
    auto enter = [&](HeldFolder folder, const TreeEntry& self) {
        std::vector<TreeEntry> entries = folder.List().entries;
        Level level{std::move(folder), std::move(entries), 0, self};
        size_t folders = 0;
        for (const TreeEntry& e : level.entries) {
            folders += StepFor(TreeWalk::Delete, TraitsOf(e)) == TreeStep::Descend;
        }
        tally.FolderListed(level.entries, folders);
        pending.push_back(std::move(level));
    };
    enter(std::move(*top), self);
    while (!pending.empty()) {
        Level& level = pending.back();
        if (!goOn || level.next == level.entries.size()) {
            // Emptied (or the walk was stopped, and what remains stays).
            // A folder whose files are still held refuses its mark: it
            // is waiting, which the next pass sees.
            if (goOn) level.folder.RemoveOnClose();
            const TreeEntry self = level.self;
            pending.pop_back();
            if (goOn && !pending.empty()) goOn = tally.Done(self);
            continue;
        }
        const TreeEntry entry = level.entries[level.next++];
        if (StepFor(TreeWalk::Delete, TraitsOf(entry)) == TreeStep::Descend) {
            auto inside = level.folder.Enter(entry, Use::Delete);
            allSetGoing = allSetGoing && inside.has_value();
            // A folder that is no longer the one listed (a link swapped in,
            // or gone) is not entered: what it leads to is not the walk's.
            if (inside) {
                enter(std::move(*inside), entry);
            } else {
                tally.FolderDropped();
            }
        } else {
            allSetGoing = level.folder.Remove(entry) && allSetGoing;
            goOn = tally.Done(entry);
        }
    }
    // A stopped delete is not gone over again.
    allSetGoing = allSetGoing && goOn;
    return NotListed(parent, name);
}

}  // namespace

bool DeleteTree(const TreePath& root, const ProgressFunction& progress) {
    // Where a removal is marked the classic way, a name another program
    // holds with delete sharing (the search indexer, an antivirus scanner,
    // for moments) stays listed until it lets go, and its folder cannot go
    // before it. When every removal was set going, the delete waits a
    // little for them and goes over what is left: 1.55 s of waiting at most.
    bool allSetGoing = false;
    if (DeleteOnce(root, progress, allSetGoing)) return true;
    for (unsigned pause = 50; allSetGoing && pause <= 800; pause *= 2) {
        platform::Pause(pause);
        bool ignored = false;
        if (DeleteOnce(root, {}, ignored)) return true;
    }
    return false;
}

bool CopyTree(const TreePath& from, const TreePath& to, const ProgressFunction& progress) {
    // By handle, as the delete: the source is entered only when it is the
    // real folder its parent lists, and so is each folder below it; the
    // destination is made or opened below its held parent and checked to be
    // a real folder there, and so is each one below it; every file is
    // written below a held destination folder. No link, there from the
    // start or swapped in meanwhile, is ever read or written through.
    const Reached sources = Reach(from, Use::Read);
    const Reached destinations = Reach(to, Use::Write);
    if (!sources.entry || !destinations.parent) return false;
    if (StepFor(TreeWalk::Copy, TraitsOf(*sources.entry)) != TreeStep::Descend) return false;
    // A workspace copied onto itself (under any spelling of its name)
    // already holds its whole content.
    const bool oneParent = from.Parent()->Text() == to.Parent()->Text();
    if (oneParent && destinations.entry && destinations.entry->name == sources.entry->name) {
        return true;
    }
    if (!destinations.entry && !destinations.listing.complete) return false;
    auto source = sources.parent->Enter(*sources.entry, Use::Read);
    auto destination =
        source ? destinations.parent->MakeFolder(destinations.name, 0, destinations.entry)
               : std::nullopt;
    if (!source || !destination) return false;
    bool whole = true;
    struct Pair {
        HeldFolder source, destination;
        bool destinationIsNew;
    };
    std::vector<Pair> pending;
    pending.push_back({std::move(*source), std::move(*destination), !destinations.entry});
    bool stopped = false;
    Tally tally = TallyFor(TreeWalk::Copy, *sources.parent, *sources.entry, progress, stopped);
    if (stopped) return false;
    // A stop is acted on before the next entry, never after the last one: a
    // copy that has copied everything answers as a whole copy.
    bool goOn = true;
    while (!pending.empty()) {
        const Pair pair = std::move(pending.back());
        pending.pop_back();
        const platform::FolderListing listing = pair.source.List();
        whole = whole && listing.complete;
        size_t folders = 0;
        for (const TreeEntry& entry : listing.entries) {
            folders += StepFor(TreeWalk::Copy, TraitsOf(entry)) == TreeStep::Descend;
        }
        tally.FolderListed(listing.entries, folders);
        // What the destination folder holds already, as it lists it; a new
        // one holds nothing.
        std::map<std::wstring, TreeEntry> there;
        if (!pair.destinationIsNew) {
            for (TreeEntry& entry : pair.destination.List().entries) {
                there.emplace(Folded(entry.name), std::move(entry));
            }
        }
        for (const TreeEntry& entry : listing.entries) {
            if (!goOn) return false;
            const auto found = there.find(Folded(entry.name));
            const TreeEntry* existing = found == there.end() ? nullptr : &found->second;
            switch (StepFor(TreeWalk::Copy, TraitsOf(entry))) {
                case TreeStep::Descend: {
                    auto inside = pair.source.Enter(entry, Use::Read);
                    auto target =
                        inside ? pair.destination.MakeFolder(entry.name, entry.attributes, existing)
                               : std::nullopt;
                    if (!inside || !target) {
                        whole = false;
                        tally.FolderDropped();
                    } else {
                        pending.push_back({std::move(*inside), std::move(*target), !existing});
                    }
                    break;
                }
                case TreeStep::File:
                    whole = pair.destination.CopyFrom(pair.source, entry, existing) && whole;
                    break;
                case TreeStep::Link:
                case TreeStep::Skip:
                    whole = false;  // nothing is copied through a link
                    break;
            }
            goOn = tally.Done(entry);
        }
    }
    return whole;
}

double FolderSizeKiB(const TreePath& root, const ProgressFunction& progress) {
    // Best effort: a folder that cannot be listed, or that went away while
    // the walk ran (the recorder moves files all the time), counts what was
    // read of it, and the rest is summed.
    double total = 0.0;
    std::vector<HeldFolder> pending;
    if (auto top = HeldFolder::Open(root, Use::Read)) {
        pending.push_back(std::move(*top));
    }
    Tally tally(progress);
    while (!pending.empty()) {
        const HeldFolder folder = std::move(pending.back());
        pending.pop_back();
        const std::vector<TreeEntry> entries = folder.List().entries;
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
                    // A folder swapped for a link since the listing is not
                    // entered: what it leads to is not the workspace's.
                    if (auto inside = folder.Enter(entry, Use::Read)) {
                        pending.push_back(std::move(*inside));
                    } else {
                        tally.FolderDropped();
                    }
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
