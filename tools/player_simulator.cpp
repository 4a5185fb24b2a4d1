// player-simulator: stands in for the desktop replay player. It serves one
// exchange folder, both variants (plain and "WS") independently:
//
//   - it watches the command file (TimelineUpdate.dat / TimelineUpdateWS.dat)
//     and takes a command once, when the file's content or modification time
//     changes: "rp <position>" moves to the position, "pb" starts playback,
//     "st" stops it; an empty file (one being rewritten) is no command;
//   - while playing, the position (whole milliseconds) advances with time,
//     times the playback rate;
//   - it keeps three files of the variant current, each one line ending in
//     CR LF: the replay update file "<playing|stopped> <position>", the
//     current call file "<call id>", and the replay position file
//     "<position>".
//
// It never deletes a file, and carries on when files vanish. It stops on
// Ctrl-C, or when the file PlayerSimulator.stop in the exchange folder is
// created or changed after it started.
//
//   player-simulator FOLDER CALL-ID [--interval MS] [--rate R]
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <thread>

#include "platform/file_system.h"
#include "platform/shared_file.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) { interrupted = true; }

// What a file looked like when last seen; missing files compare equal.
// The time is the file system's own (100 ns on NTFS), not the runtime's
// whole seconds: a command repeated within a second is still a new command.
struct Snapshot {
    bool exists = false;
    std::string content;
    uint64_t modified = 0;
    bool operator==(const Snapshot&) const = default;
};

Snapshot Look(const std::string& path) {
    Snapshot snapshot;
    const auto modified = platform::LastWriteTime(path);
    platform::SharedFile file = platform::SharedFile::OpenForReading(path);
    if (!modified || !file.IsOpen()) return {};
    snapshot.modified = *modified;
    snapshot.exists = true;
    snapshot.content = file.ReadAll().value_or("");
    return snapshot;
}

// Rewrites the file only when it does not already hold `content`.
void Keep(const std::string& path, const std::string& content) {
    const Snapshot current = Look(path);
    if (current.exists && current.content == content) return;
    platform::SharedFile file = platform::SharedFile::OpenForWriting(path);
    if (file.IsOpen()) file.Write(content);
}

class Player {
  public:
    Player(const std::string& folder, const std::string& suffix, const std::string& callId,
           double rate)
        : name_(suffix.empty() ? "plain" : suffix),
          command_(folder + "\\TimelineUpdate" + suffix + ".dat"),
          update_(folder + "\\ReplayUpdate" + suffix + ".dat"),
          currentCall_(folder + "\\CurrentCall" + suffix + ".dat"),
          replayPos_(folder + "\\ReplayPos" + suffix + ".dat"),
          callId_(callId),
          rate_(rate) {}

    void Tick(Clock::time_point now) {
        const Snapshot seen = Look(command_);
        if (!(seen == lastCommand_)) {
            lastCommand_ = seen;
            if (seen.exists && !seen.content.empty()) Take(seen.content);
        }
        if (playing_) {
            position_ += std::chrono::duration<double, std::milli>(now - lastTick_).count() * rate_;
        }
        lastTick_ = now;
        const std::string position = std::to_string(std::llround(position_));
        Keep(update_, std::string(playing_ ? "playing " : "stopped ") + position + "\n");
        Keep(currentCall_, callId_ + "\n");
        Keep(replayPos_, position + "\n");
    }

  private:
    void Take(const std::string& command) {
        std::cout << "[" << name_ << "] command \"" << command << "\": ";
        if (command.rfind("rp ", 0) == 0) {
            char* end = nullptr;
            const double position = std::strtod(command.c_str() + 3, &end);
            if (end == command.c_str() + 3 || !std::isfinite(position)) {
                std::cout << "ignored, no position" << std::endl;
                return;
            }
            position_ = position;
            std::cout << "moved to " << std::llround(position_) << std::endl;
        } else if (command == "pb") {
            playing_ = true;
            std::cout << "playing from " << std::llround(position_) << std::endl;
        } else if (command == "st") {
            playing_ = false;
            std::cout << "stopped at " << std::llround(position_) << std::endl;
        } else {
            std::cout << "ignored, unknown command" << std::endl;
        }
    }

    std::string name_, command_, update_, currentCall_, replayPos_, callId_;
    double rate_;
    double position_ = 0;
    bool playing_ = false;
    Snapshot lastCommand_;
    Clock::time_point lastTick_ = Clock::now();
};

int Usage() {
    std::cerr << "usage: player-simulator FOLDER CALL-ID [--interval MS] [--rate R]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    const std::string folder = argv[1];
    const std::string callId = argv[2];
    long interval = 100;
    double rate = 1.0;
    for (int i = 3; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--interval" && i + 1 < argc) {
            interval = std::strtol(argv[++i], nullptr, 10);
        } else if (option == "--rate" && i + 1 < argc) {
            rate = std::strtod(argv[++i], nullptr);
        } else {
            return Usage();
        }
    }
    if (interval <= 0 || !(rate > 0)) return Usage();
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        std::cerr << "player-simulator: no folder " << folder << "\n";
        return 1;
    }

    std::signal(SIGINT, OnInterrupt);
    const std::string stopFile = folder + "\\PlayerSimulator.stop";
    const Snapshot stopAtStart = Look(stopFile);
    Player plain(folder, "", callId, rate), ws(folder, "WS", callId, rate);
    std::cout << "serving " << folder << " as call " << callId << ", every " << interval
              << " ms at rate " << rate << std::endl;

    while (!interrupted && Look(stopFile) == stopAtStart) {
        const auto now = Clock::now();
        plain.Tick(now);
        ws.Tick(now);
        std::this_thread::sleep_for(std::chrono::milliseconds(interval));
    }
    std::cout << (interrupted ? "interrupted" : "stop file seen") << ", stopping" << std::endl;
    return 0;
}
