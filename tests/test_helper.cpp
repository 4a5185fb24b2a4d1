// test-helper: a small program the tests start as a process of its own.
//
//   test-helper hold PATH SHARE READY RELEASE
//       opens PATH for reading and writing, sharing SHARE ("rw": others may
//       read and write; "r": others may only read; "w": only write; "rwd": read, write
//       and delete; "none"), creates READY, and keeps the file open until RELEASE exists.
//   test-helper poll READY STOP OUT PATH...
//       reads each PATH in one read of its size, over and over, as a player polls, until STOP
//       exists (creating READY once it has started); then writes into OUT one
//       line per distinct content seen: "PATH|CONTENT|TIMES".
//   test-helper mark MARKER [ARG ...]
//       writes its own command line into MARKER, as evidence that it ran.
// Copied under a name that begins with "crash", it ends at once as a program
// that crashed does, with the access violation's code (0xC0000005): the
// Windows kit's runner must count it failed. Under one that begins with
// "policy", it makes the machine's policy key and leaves it, as a test that
// forgets to clean up would: the runner must remove it again.
#include <windows.h>

#include <cstring>
#include <map>
#include <string>
#include <utility>

namespace {

bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

void WriteText(const char* path, const char* text) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(file);
}

// The file's content as one read gives it, as a player reads a command: two
// reads may each see another version of a file rewritten in between. Wine's
// ReadFile reads on after a short read, which would join two versions, so the
// read asks for exactly the size the file has. A read during which the size
// changed (the file was rewritten between the look and the read) proves
// nothing and is dropped (false).
bool ReadAll(const char* path, std::string& content) {
    HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{}, after{};
    char chunk[4096];
    DWORD got = 0;
    const bool ok = GetFileSizeEx(file, &size) && size.QuadPart <= LONGLONG(sizeof chunk) &&
                    ReadFile(file, chunk, DWORD(size.QuadPart), &got, nullptr) &&
                    GetFileSizeEx(file, &after) && after.QuadPart == size.QuadPart;
    CloseHandle(file);
    if (ok) content.assign(chunk, got);
    return ok;
}

int Poll(int count, char** paths, const char* ready, const char* stop, const char* out) {
    std::map<std::pair<std::string, std::string>, long> seen;
    WriteText(ready, "ready");
    std::string content;
    while (!Exists(stop)) {
        for (int i = 0; i < count; ++i) {
            if (ReadAll(paths[i], content)) ++seen[{paths[i], content}];
        }
    }
    std::string report;
    for (const auto& [key, times] : seen) {
        report += key.first + "|" + key.second + "|" + std::to_string(times) + "\n";
    }
    WriteText(out, report.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    char own[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, own, MAX_PATH);
    const char* name = strrchr(own, '\\') ? strrchr(own, '\\') + 1 : own;
    if (_strnicmp(name, "crash", 5) == 0) ExitProcess(0xC0000005);
    if (_strnicmp(name, "policy", 6) == 0) {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Policies\\Dravenil\\FileAccessPlugin", 0,
                            nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key,
                            nullptr) != ERROR_SUCCESS) {
            return 4;
        }
        RegCloseKey(key);
        return 0;
    }
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "hold" && argc == 6) {
        const std::string share = argv[3];
        const DWORD shareMode = share == "rw"  ? FILE_SHARE_READ | FILE_SHARE_WRITE
                                : share == "r" ? FILE_SHARE_READ
                                : share == "w" ? FILE_SHARE_WRITE
                                : share == "rwd"
                                    ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                                    : 0;
        HANDLE file = CreateFileA(argv[2], GENERIC_READ | GENERIC_WRITE, shareMode, nullptr,
                                  OPEN_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 3;
        WriteText(argv[4], "ready");
        for (int i = 0; i < 3000 && !Exists(argv[5]); ++i) Sleep(10);
        CloseHandle(file);
        return 0;
    }
    if (mode == "poll" && argc >= 6) return Poll(argc - 5, argv + 5, argv[2], argv[3], argv[4]);
    if (mode == "mark" && argc >= 3) {
        WriteText(argv[2], GetCommandLineA());
        return 0;
    }
    return 2;
}
