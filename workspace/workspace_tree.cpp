#include "workspace/workspace_tree.h"

#include <cwctype>
#include <map>
#include <optional>
#include <vector>

namespace workspace {
namespace {

using platform::TreeEntry;
using platform::TreePath;

// A name as Windows compares names in a folder: without regard to case
// (ASCII and the common letters; the file system has the last word, and a
// name it takes as taken makes a new one fail to be created).
std::wstring Folded(const std::wstring& name) {
    std::wstring folded = name;
    for (wchar_t& c : folded) c = static_cast<wchar_t>(std::towlower(c));
    return folded;
}

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
    auto top = platform::HeldFolder::Open(root, platform::HeldFolder::Use::Read);
    std::vector<platform::HeldFolder> pending;
    if (top) pending.push_back(std::move(*top));
    while (!pending.empty()) {
        if (!progress(totals)) return std::nullopt;
        const platform::HeldFolder folder = std::move(pending.back());
        pending.pop_back();
        for (const TreeEntry& entry : folder.List().entries) {
            ++totals.entriesTotal;
            totals.bytesTotal += entry.IsFolder() ? 0 : entry.size;
            if (StepFor(walk, TraitsOf(entry)) != TreeStep::Descend) continue;
            if (auto inside = folder.Enter(entry, platform::HeldFolder::Use::Read)) {
                pending.push_back(std::move(*inside));
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
    // Depth first without recursion, so that no depth can exhaust the stack,
    // and by handle: each folder is held open while the walk is inside it,
    // entered only when it is still the real folder its parent listed, and
    // what is below it is removed through handles of their own. A folder is
    // removed as its handle closes, once what was below it is gone.
    auto top = platform::HeldFolder::Open(root, platform::HeldFolder::Use::Delete);
    if (!top) return platform::StateOf(root).IsAbsent();
    struct Level {
        platform::HeldFolder folder;
        std::vector<TreeEntry> entries;
        size_t next = 0;
        TreeEntry self;  // as its parent listed it; nothing for the root
    };
    bool stopped = false;
    Tally tally = TallyFor(TreeWalk::Delete, root, progress, stopped);
    bool goOn = !stopped;
    std::vector<Level> pending;
    auto enter = [&](platform::HeldFolder folder, const TreeEntry& self) {
        std::vector<TreeEntry> entries = folder.List().entries;
        Level level{std::move(folder), std::move(entries), 0, self};
        size_t folders = 0;
        for (const TreeEntry& e : level.entries) {
            folders += StepFor(TreeWalk::Delete, TraitsOf(e)) == TreeStep::Descend;
        }
        tally.FolderListed(level.entries, folders);
        pending.push_back(std::move(level));
    };
    enter(std::move(*top), {});
    while (!pending.empty()) {
        Level& level = pending.back();
        if (!goOn || level.next == level.entries.size()) {
            // Emptied (or the walk was stopped, and what remains stays).
            if (goOn) level.folder.RemoveOnClose();
            const TreeEntry self = level.self;
            pending.pop_back();
            if (goOn && !pending.empty()) goOn = tally.Done(self);
            continue;
        }
        const TreeEntry entry = level.entries[level.next++];
        if (StepFor(TreeWalk::Delete, TraitsOf(entry)) == TreeStep::Descend) {
            auto inside = level.folder.Enter(entry, platform::HeldFolder::Use::Delete);
            // A folder that is no longer the one listed (a link swapped in,
            // or gone) is not entered: what it leads to is not the walk's.
            if (inside) {
                enter(std::move(*inside), entry);
            } else {
                tally.FolderDropped();
            }
        } else {
            level.folder.Remove(entry);
            goOn = tally.Done(entry);
        }
    }
    return platform::StateOf(root).IsAbsent();
}

bool CopyTree(const TreePath& from, const TreePath& to, const ProgressFunction& progress) {
    const platform::FolderMade top = platform::MakeFolder(to);
    if (top == platform::FolderMade::Failed) return false;
    // By handle, as the delete: each source folder is entered only when it is
    // still the real folder listed, each destination folder is made or
    // opened below its held parent and checked to be a real folder there,
    // and every file is written below a held destination folder, so that no
    // link swapped in meanwhile is ever written through.
    using Use = platform::HeldFolder::Use;
    auto source = platform::HeldFolder::Open(from, Use::Read);
    auto destination = platform::HeldFolder::Open(to, Use::Write);
    if (!source || !destination) return false;
    bool whole = true;
    struct Pair {
        platform::HeldFolder source, destination;
        bool destinationIsNew;
    };
    std::vector<Pair> pending;
    pending.push_back(
        {std::move(*source), std::move(*destination), top == platform::FolderMade::Created});
    bool stopped = false;
    Tally tally = TallyFor(TreeWalk::Copy, from, progress, stopped);
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
    std::vector<platform::HeldFolder> pending;
    if (auto top = platform::HeldFolder::Open(root, platform::HeldFolder::Use::Read)) {
        pending.push_back(std::move(*top));
    }
    Tally tally(progress);
    while (!pending.empty()) {
        const platform::HeldFolder folder = std::move(pending.back());
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
                    if (auto inside = folder.Enter(entry, platform::HeldFolder::Use::Read)) {
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
