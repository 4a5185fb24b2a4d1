#include "exchange/exchange_files.h"

#include "platform/narrow_text.h"

namespace exchange {
namespace {

FilePair PairIn(const std::string& folder, const char* stem) {
    const std::string base = folder + "\\" + stem;
    return FilePair{base + ".dat", base + "WS.dat"};
}

}  // namespace

bool ExchangeFiles::SetFolder(const std::string& folderText) {
    if (!platform::IsUsablePath(folderText)) {
        // No file can be named in it: the calls that follow fail until the
        // next folder, and nothing of the text is kept.
        *this = ExchangeFiles{};
        return false;
    }
    folder = folderText;
    BuildExchangePaths();
    return true;
}

void ExchangeFiles::BuildExchangePaths() {
    replayPos = PairIn(folder, "ReplayPos");
    replayUpdate = PairIn(folder, "ReplayUpdate");
    currentCall = PairIn(folder, "CurrentCall");
    timelineUpdate = PairIn(folder, "TimelineUpdate");
}

}  // namespace exchange
