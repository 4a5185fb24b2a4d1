// How far a long walk is. The walks (delete, copy, usage) count entries and
// bytes; reading call details counts bytes. Whoever follows a walk may stop
// it: the walk then ends at its next entry, keeping what it has done.
#pragma once

#include <cstdint>
#include <functional>

namespace workspace {

struct WalkProgress {
    uint64_t entriesDone = 0;
    uint64_t bytesDone = 0;
    // The totals, once the walk has listed every folder it will visit.
    bool totalsKnown = false;
    uint64_t entriesTotal = 0;
    uint64_t bytesTotal = 0;
};

// Told of each step; false stops the walk. Empty: nobody follows.
using ProgressFunction = std::function<bool(const WalkProgress&)>;

// Tells `progress`, when there is one; false when the walk must stop.
inline bool GoOn(const ProgressFunction& progress, const WalkProgress& now) {
    return !progress || progress(now);
}

}  // namespace workspace
