// The exchange folder that page script names for the desktop player, and the
// eight exchange-file paths formed from it. Each scriptable object keeps its
// own; they start empty.
#pragma once

#include <string>

namespace exchange {

// The plain and the "WS" member of one pair of exchange files.
struct FilePair {
    std::string plain;
    std::string ws;

    const std::string& Select(bool wsFlag) const { return wsFlag ? ws : plain; }
};

struct ExchangeFiles {
    std::string folder;
    FilePair replayPos;       // ReplayPos.dat, ReplayPosWS.dat
    FilePair replayUpdate;    // ReplayUpdate.dat, ReplayUpdateWS.dat
    FilePair currentCall;     // CurrentCall.dat, CurrentCallWS.dat
    FilePair timelineUpdate;  // TimelineUpdate.dat, TimelineUpdateWS.dat

    // Stores the folder text as given (not trimmed or normalised) and forms
    // the eight paths from it. A text that cannot name a folder (one holding
    // a NUL, or longer than any path) leaves no folder and empty paths, so
    // every exchange call fails until the next folder; false then.
    bool SetFolder(const std::string& folderText);
    void BuildExchangePaths();
};

}  // namespace exchange
