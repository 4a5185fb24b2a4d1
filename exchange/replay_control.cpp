#include "exchange/replay_control.h"

#include "platform/file_system.h"
#include "platform/narrow_text.h"
#include "platform/shared_file.h"
#include "platform/trace.h"

namespace exchange {
namespace {

using platform::SharedFile;

// The first line of an exchange file, or nothing when it cannot be opened.
// Reading leaves the file as it is.
std::optional<std::string> FirstLine(const std::string& path) {
    SharedFile file = SharedFile::OpenForReading(path);
    if (!file.IsOpen()) return std::nullopt;
    return file.ReadLine();
}

// Replaces the whole file with `content` (no line end follows): true once it
// holds it, nothing when it could not be opened or written (it then holds
// what it held before).
std::optional<bool> WriteWholeFile(const std::string& path, const std::string& content) {
    const auto replaced = platform::ReplaceSmallFile(path, content);
    if (!replaced || !*replaced) return std::nullopt;
    return true;
}

// Removes the file when it is there; false when a file of that name stays.
// A file the player writes again after it was removed is a new one, not one
// that stayed; a folder of that name is no exchange file and is left alone.
bool RemoveIfPresent(const std::string& path) {
    switch (platform::ProbeForReading(path)) {
        case platform::ReadProbe::Absent:
            // Asked once more: "not there" is never taken on one word.
            return !platform::PathExists(path) || platform::IsFolder(path);
        case platform::ReadProbe::Opened:
            // Removed, or gone meanwhile.
            return platform::RemoveFile(path) || !platform::PathExists(path);
        case platform::ReadProbe::Refused:
            break;
    }
    return platform::IsFolder(path);
}

}  // namespace

std::optional<std::string> readCurrentReplayPos(ExchangeFiles& files, bool ws,
                                                const std::string& folder) {
    files.SetFolder(folder);
    return FirstLine(files.replayPos.Select(ws));
}

std::optional<std::string> checkReplayUpdate(ExchangeFiles& files, bool ws,
                                             const std::string& folder) {
    files.SetFolder(folder);
    return FirstLine(files.replayUpdate.Select(ws));
}

std::optional<bool> setReplayPos(ExchangeFiles& files, const std::string& position, bool ws,
                                 const std::string& folder) {
    TraceScope trace("MyScriptableNPObject::setReplayPos");
    files.SetFolder(folder);
    // A position holding a NUL would reach the player cut short.
    if (!platform::IsWholeText(position)) return std::nullopt;
    // The replay position file is written only once the command is: a
    // command that cannot be given changes nothing. The answer is the
    // command's: once the player has it, a page that tried again would send
    // it twice. Each file holds its old content or its new one, never a mix.
    if (!WriteWholeFile(files.timelineUpdate.Select(ws), "rp " + position)) return std::nullopt;
    WriteWholeFile(files.replayPos.Select(ws), position);
    return true;
}

std::optional<bool> startPlayback(ExchangeFiles& files, bool ws) {
    TraceScope trace("MyScriptableNPObject::startPlayback");
    return WriteWholeFile(files.timelineUpdate.Select(ws), "pb");
}

std::optional<bool> stopPlayback(ExchangeFiles& files, bool ws, const std::string& folder) {
    TraceScope trace("MyScriptableNPObject::stopPlayback");
    files.SetFolder(folder);
    return WriteWholeFile(files.timelineUpdate.Select(ws), "st");
}

bool resetSync(ExchangeFiles& files, const std::string& folder) {
    if (!files.SetFolder(folder)) return false;
    bool allGone = true;
    for (const FilePair* pair :
         {&files.timelineUpdate, &files.replayUpdate, &files.replayPos, &files.currentCall}) {
        allGone = RemoveIfPresent(pair->plain) && allGone;
        allGone = RemoveIfPresent(pair->ws) && allGone;
    }
    return allGone;
}

std::optional<std::string> getCurrentCallID(ExchangeFiles& files, bool ws) {
    return FirstLine(files.currentCall.Select(ws));
}

}  // namespace exchange
