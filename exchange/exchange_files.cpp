#include "exchange/exchange_files.h"

namespace exchange {
namespace {

FilePair PairIn(const std::string& folder, const char* stem) {
    const std::string base = folder + "\\" + stem;
    return FilePair{base + ".dat", base + "WS.dat"};
}

}  // namespace

void ExchangeFiles::SetFolder(const std::string& folderText) {
    folder = folderText;
    BuildExchangePaths();
}

void ExchangeFiles::BuildExchangePaths() {
    replayPos = PairIn(folder, "ReplayPos");
    replayUpdate = PairIn(folder, "ReplayUpdate");
    currentCall = PairIn(folder, "CurrentCall");
    timelineUpdate = PairIn(folder, "TimelineUpdate");
}

}  // namespace exchange
