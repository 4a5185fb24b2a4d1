// The replay-control methods: page script drives the desktop player by
// writing commands into the exchange folder and follows it by reading what
// the player left there. An empty optional is a void result.
#pragma once

#include <optional>
#include <string>

#include "exchange/exchange_files.h"

namespace exchange {

// Each sets the exchange folder first, whatever happens to the file after.
std::optional<std::string> readCurrentReplayPos(ExchangeFiles& files, bool ws,
                                                const std::string& folder);
std::optional<std::string> checkReplayUpdate(ExchangeFiles& files, bool ws,
                                             const std::string& folder);
std::optional<bool> setReplayPos(ExchangeFiles& files, const std::string& position, bool ws,
                                 const std::string& folder);
std::optional<bool> stopPlayback(ExchangeFiles& files, bool ws, const std::string& folder);
bool resetSync(ExchangeFiles& files, const std::string& folder);

// These two work on the paths the last folder-taking call formed.
std::optional<bool> startPlayback(ExchangeFiles& files, bool ws);
std::optional<std::string> getCurrentCallID(ExchangeFiles& files, bool ws);

}  // namespace exchange
