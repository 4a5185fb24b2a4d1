// benchmark: each method's cost through the DLL's exports, as a browser calls
// it, beside a bare loop that makes the Windows calls the method has to make.
// Both run interleaved, several rounds, and the medians are compared.
//
//   benchmark [--quick] [--strict] [--only GROUP]...
//
// --quick runs every case once on small data and checks what the methods
// return; the test suite runs it so that the benchmark keeps working. The
// exit code is non-zero when a method returns something it should not, and
// under --strict when a goal is missed.
#include <windows.h>
// windows.h first: these build on it.
#include <share.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "browser/host_process.h"
#include "embedding/embedder.h"
#include "platform/version_info.h"
#include "workspace/list_texts.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

bool quick = false;
bool strict = false;            // a missed goal makes the exit code non-zero
std::vector<std::string> only;  // the case groups to run; all when empty

bool Selected(const std::string& group) {
    return only.empty() || std::find(only.begin(), only.end(), group) != only.end();
}
int failures = 0;

void Check(bool ok, const std::string& what) {
    if (ok) return;
    ++failures;
    std::cerr << "wrong result: " << what << "\n";
}

// ---- Fixture data ---------------------------------------------------------------

void WriteFileBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

void MakeEmptyFiles(const fs::path& folder, int count, const std::string& prefix) {
    fs::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        const std::string path = (folder / (prefix + std::to_string(i))).string();
        CloseHandle(
            CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
}

std::string LittleEndian(int32_t value) {
    const auto u = static_cast<uint32_t>(value);
    return {static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
            static_cast<char>(u >> 24)};
}

// A Calls.dat of about `bytes` bytes: records of four details each.
std::string CallsDat(size_t bytes, int& records) {
    std::string body;
    records = 0;
    while (body.size() < bytes) {
        body += LittleEndian(100000 + records) + LittleEndian(4);
        for (int d = 0; d < 4; ++d) {
            body += LittleEndian(d) + '\x0A' + "agent-0042" + '\x96' + '\x01' +
                    std::string(150, static_cast<char>('a' + d));
        }
        ++records;
    }
    return LittleEndian(records) + body;
}

// ---- Measuring -------------------------------------------------------------------

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Timing {
    double method = 0, bare = 0;  // median seconds per call
};

// Runs `method` and `bare` `iterations` times each, alternately, for several
// rounds; the medians per call. The method's first outcome, before timing,
// must satisfy `expect`.
Timing Measure(const std::string& name, const std::function<embedding::CallOutcome()>& method,
               const std::function<bool(const embedding::CallOutcome&)>& expect,
               const std::function<void()>& bare, int iterations) {
    const int rounds = quick ? 1 : 7;
    if (quick) iterations = 1;
    Check(expect(method()), name);  // also warms up: first opens cost more
    bare();
    std::vector<double> m, b;
    auto time = [&](const auto& f) {
        const auto start = Clock::now();
        for (int i = 0; i < iterations; ++i) f();
        return std::chrono::duration<double>(Clock::now() - start).count() / iterations;
    };
    for (int r = 0; r < rounds; ++r) {
        m.push_back(time(method));
        b.push_back(time(bare));
    }
    return {Median(m), Median(b)};
}

// "16 MB", or "64 KiB" for the small data of a quick run.
std::string SizeText(size_t bytes) {
    if (bytes >= (1u << 20)) return std::to_string(bytes >> 20) + " MB";
    return std::to_string(bytes >> 10) + " KiB";
}

std::string Duration(double seconds) {
    char text[32];
    if (seconds >= 1e-3) {
        std::snprintf(text, sizeof text, "%.2f ms", seconds * 1e3);
    } else {
        std::snprintf(text, sizeof text, "%.1f us", seconds * 1e6);
    }
    return text;
}

struct Row {
    std::string name, method, bare, ratio, goal;
    bool met;
};
std::vector<Row> rows;

// Rows are printed as they are measured, so that a long run shows each
// group when it finishes; the widths are fixed for that.
void PrintRow(const Row& r) {
    static bool headed = false;
    auto line = [](const std::vector<std::string>& c, const std::string& last) {
        static const size_t widths[] = {62, 10, 10, 7, 12};
        std::cout << "|";
        for (size_t i = 0; i < c.size(); ++i) {
            std::cout << " " << c[i]
                      << std::string(widths[i] > c[i].size() ? widths[i] - c[i].size() : 0, ' ')
                      << " |";
        }
        std::cout << " " << last << " |\n";
    };
    if (!headed) {
        headed = true;
        line({"Case", "Method", "Bare", "Ratio", "Goal"}, "Met");
        std::cout << "|" << std::string(64, '-') << "|" << std::string(12, '-') << "|"
                  << std::string(12, '-') << "|" << std::string(9, '-') << "|"
                  << std::string(14, '-') << "|-----|\n";
    }
    line({r.name, r.method, r.bare, r.ratio, r.goal}, r.goal == "-" ? "-" : r.met ? "yes" : "NO");
    std::cout.flush();
}

void Report(const std::string& name, const Timing& t, double goal) {
    const double ratio = t.method / t.bare;
    char ratioText[32], goalText[32];
    std::snprintf(ratioText, sizeof ratioText, "%.2fx", ratio);
    if (goal >= 1e9) {
        std::snprintf(goalText, sizeof goalText, "-");
    } else {
        const bool tenths = std::abs(goal * 10 - std::round(goal * 10)) < 1e-9;
        std::snprintf(goalText, sizeof goalText, tenths ? "within %.1fx" : "within %.2fx", goal);
    }
    rows.push_back(
        {name, Duration(t.method), Duration(t.bare), ratioText, goalText, ratio <= goal});
    PrintRow(rows.back());
}

// A cost that must grow no faster than the work: `larger` per unit against
// `smaller` per unit.
void ReportGrowth(const std::string& name, double smaller, double smallerUnits, double larger,
                  double largerUnits, double goal, const std::string& goalText) {
    const double ratio = (larger / largerUnits) / (smaller / smallerUnits);
    char ratioText[32];
    std::snprintf(ratioText, sizeof ratioText, "%.2fx", ratio);
    rows.push_back({name, Duration(larger), Duration(smaller), ratioText, goalText, ratio <= goal});
    PrintRow(rows.back());
}

// ---- Bare loops --------------------------------------------------------------------

std::string BareFirstLine(const std::string& path) {
    std::string line;
    if (FILE* f = _fsopen(path.c_str(), "rt", _SH_DENYNO)) {
        for (int c; (c = std::getc(f)) != EOF && c != '\n';) line += static_cast<char>(c);
        std::fclose(f);
    }
    return line;
}

void BareWrite(const std::string& path, const std::string& text) {
    if (FILE* f = _fsopen(path.c_str(), "wt", _SH_DENYNO)) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
}

// What no reader of a whole file can avoid: its size, one buffer of that
// size, and one read into it.
std::string BareReadOnce(const std::string& path) {
    std::string content;
    if (FILE* f = _fsopen(path.c_str(), "rb", _SH_DENYNO)) {
        if (_fseeki64(f, 0, SEEK_END) == 0) {
            const long long size = _ftelli64(f);
            _fseeki64(f, 0, SEEK_SET);
            if (size > 0) {
                content.resize(static_cast<size_t>(size));
                content.resize(std::fread(content.data(), 1, content.size(), f));
            }
        }
        std::fclose(f);
    }
    return content;
}

size_t BareList(const std::string& folder) {
    size_t count = 0;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        ++count;
    } while (FindNextFileA(search, &data));
    FindClose(search);
    return count;
}

unsigned long long BareWalk(const std::string& folder) {
    unsigned long long total = 0;
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((folder + "\\*.*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            total +=
                ((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) /
                1024;
        } else if (data.cFileName[0] != '.') {
            total += BareWalk(folder + "\\" + data.cFileName);
        }
    } while (FindNextFileA(search, &data));
    FindClose(search);
    return total;
}

// The wide calls on "\\?\" paths that a walk of any depth makes.
std::wstring LongForm(const fs::path& path) { return L"\\\\?\\" + path.wstring(); }

void BareDeleteTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                BareDeleteTree(folder + L"\\" + name);
            } else {
                DeleteFileW((folder + L"\\" + name).c_str());
            }
        } while (FindNextFileW(search, &data));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

void BareCopyTree(const std::wstring& from, const std::wstring& to) {
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileExW((from + L"\\*").c_str(), FindExInfoBasic, &data,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            BareCopyTree(from + L"\\" + name, to + L"\\" + name);
        } else {
            CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE);
        }
    } while (FindNextFileW(search, &data));
    FindClose(search);
}

// Like Measure, for work that uses up its data: before each timed run,
// `prepare` (untimed) puts the data back.
Timing MeasureOnce(const std::string& name, const std::function<void()>& prepare,
                   const std::function<embedding::CallOutcome()>& method,
                   const std::function<bool(const embedding::CallOutcome&)>& expect,
                   const std::function<void()>& bare) {
    const int rounds = quick ? 1 : 7;
    std::vector<double> m, b;
    auto time = [](const auto& f) {
        const auto start = Clock::now();
        f();
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    for (int r = 0; r < rounds; ++r) {
        prepare();
        embedding::CallOutcome outcome;
        m.push_back(time([&] { outcome = method(); }));
        if (r == 0) Check(expect(outcome), name);
        prepare();
        b.push_back(time(bare));
    }
    return {Median(m), Median(b)};
}

// ---- Soak --------------------------------------------------------------------------

size_t HandleCount() {
    size_t count = 0;
    DWORD flags = 0;
    for (uintptr_t value = 4; value < 0x10000; value += 4) {
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

// Committed private memory, summed over the address space (Wine reports no
// PrivateUsage).
size_t PrivateBytes() {
    size_t total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* at = nullptr;
         VirtualQuery(at, &region, sizeof region) == sizeof region && region.RegionSize > 0;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        if (static_cast<const char*>(region.BaseAddress) + region.RegionSize < at) break;
    }
    return total;
}

// The benchmark's data and the plug-in it drives, shared by every group.
struct Bench {
    Bench(std::string outerName, fs::path outerFolderPath, fs::path scratchFolder)
        : outer(std::move(outerName)),
          outerFolder(std::move(outerFolderPath)),
          scratch(std::move(scratchFolder)),
          folder(scratch.string()),
          probe(folder + "\\ReplayPos.dat") {}

    const std::string outer;
    const fs::path outerFolder, scratch;
    const std::string folder, probe;
    embedding::Browser browser;
    embedding::Embed embed{browser};

    fs::path set(const std::string& inner) const { return outerFolder / inner; }
    embedding::CallOutcome call(const char* method, const std::vector<embedding::Value>& args) {
        return embed.Call(method, args);
    }
    static std::string text(const embedding::CallOutcome& o) {
        return std::holds_alternative<std::string>(o.value) ? std::get<std::string>(o.value)
                                                            : std::string("<not a string>");
    }
    static std::function<bool(const embedding::CallOutcome&)> isText(const std::string& expected) {
        return [expected](const embedding::CallOutcome& o) {
            return o.value == embedding::Value(expected);
        };
    }
    static std::function<bool(const embedding::CallOutcome&)> isValue(
        const embedding::Value& expected) {
        return [expected](const embedding::CallOutcome& o) { return o.value == expected; };
    }
    // A string result holding the character `c` exactly `count` times.
    static std::function<bool(const embedding::CallOutcome&)> occurrences(char c, long count) {
        return [c, count](const embedding::CallOutcome& o) {
            const std::string t = text(o);
            return std::count(t.begin(), t.end(), c) == count;
        };
    }
    std::function<embedding::CallOutcome()> timed(const char* method,
                                                  std::vector<embedding::Value> args) {
        return [this, method, args] { return call(method, args); };
    }

    void Exchange();
    void Details();
    void Missing();
    void Search();
    void List();
    void Usage();
    void Tree();
    void Host();
    void Settings();
    void Soak();
};

// Exchange files.
void Bench::Exchange() {
    WriteFileBytes(scratch / "ReplayPos.dat", "123456\r\n");
    Report("readCurrentReplayPos, one small file",
           Measure(
               "readCurrentReplayPos", timed("readCurrentReplayPos", {false, folder}),
               isText("123456"), [&] { BareFirstLine(probe); }, 300),
           1.3);
    Report("setReplayPos",
           Measure(
               "setReplayPos", timed("setReplayPos", {"5000", false, folder}), isValue(true),
               [&] {
                   BareWrite(folder + "\\TimelineUpdate.dat", "rp 5000");
                   BareWrite(probe, "5000");
               },
               300),
           1.3);
    Report("fileExists",
           Measure(
               "fileExists", timed("fileExists", {probe}), isValue(true),
               [&] {
                   if (FILE* f = _fsopen(probe.c_str(), "r", _SH_DENYNO)) {
                       std::fclose(f);
                   }
               },
               300),
           1.3);
}

// Call details.
void Bench::Details() {
    double perMbSmall = 0, perMbLarge = 0;
    // Every result buffer is fresh memory, as a browser's allocator
    // gives for strings of this size.
    browser.freshBuffers = true;
    for (const size_t mb : {size_t{1}, size_t{16}, size_t{20}}) {
        const std::string ws = "Details" + std::to_string(mb);
        fs::create_directories(set("In") / ws);
        int records = 0;
        const size_t bytes = quick ? 4096 * mb : mb << 20;
        WriteFileBytes(set("In") / ws / "Calls.dat", CallsDat(bytes, records));
        const std::string path = (set("In") / ws / "Calls.dat").string();
        const std::string last = "[" + std::to_string(100000 + records - 1) + ",4,";
        const Timing t = Measure(
            "getCallDetailsForWorkspace " + ws,
            timed("getCallDetailsForWorkspace", {outer, ws, "In"}),
            [&](const embedding::CallOutcome& o) {
                const std::string details = text(o);
                // Checked once; the timed calls leave the text to
                // the browser, which reads it once.
                browser.discardStringResults = true;
                return details.rfind("[[100000,4,[0,'agent-0042','", 0) == 0 &&
                       details.find(last) != std::string::npos;
            },
            [&] { BareReadOnce(path); }, mb == 1 ? 10 : 2);
        Report("getCallDetailsForWorkspace, " + SizeText(bytes), t, 3.0);
        // The floor of any method that hands back a text of the
        // result's size: the read, a fresh result buffer written
        // once, the browser's one read of it, and its release. The
        // method adds the decoding on top.
        const size_t resultBytes = bytes + bytes / 40;
        const Timing floor = Measure(
            "getCallDetailsForWorkspace " + ws,
            timed("getCallDetailsForWorkspace", {outer, ws, "In"}),
            [](const embedding::CallOutcome&) { return true; },
            [&] {
                const std::string content = BareReadOnce(path);
                void* result =
                    VirtualAlloc(nullptr, resultBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
                if (!result) return;
                std::memcpy(result, content.data(), content.size());
                std::memset(static_cast<char*>(result) + content.size(), 'x',
                            resultBytes - content.size());
                [[maybe_unused]] static volatile size_t read;
                read = workspace::FindNul(static_cast<const char*>(result), resultBytes);
                VirtualFree(result, 0, MEM_RELEASE);
            },
            mb == 1 ? 10 : 2);
        browser.discardStringResults = false;
        Report("  the same against its floor (read, one fresh result written and read)", floor,
               2.0);
        if (mb == 1) perMbSmall = t.method;
        if (mb == 16) perMbLarge = t.method;
    }
    browser.freshBuffers = false;
    ReportGrowth("getCallDetailsForWorkspace, 16 MB per byte against 1 MB", perMbSmall, 1,
                 perMbLarge, 16, 1.3, "at most 1.3x");
}

// Missing calls.
void Bench::Missing() {
    double missingSmall = 0, missingLarge = 0, bareSmall = 0, bareLarge = 0;
    for (const int n : {2000, 20000}) {
        const int count = quick ? n / 100 : n;
        const std::string ws = "Missing" + std::to_string(n);
        MakeEmptyFiles(set("In") / ws / "Calls", count, "call-");
        std::string list;
        for (int i = 0; i < count; ++i) {
            // Every other name present, half of them missing.
            list += (i ? "," : "") + std::string("call-") + std::to_string(i % 2 ? i : count + i);
        }
        const std::string callsFolder = (set("In") / ws / "Calls").string();
        const Timing t = Measure(
            "getMissingOrBufferingCalls " + ws,
            timed("getMissingOrBufferingCalls", {outer, ws, "In", list}),
            occurrences(',', count / 2 - 1), [&] { BareList(callsFolder); }, n == 2000 ? 10 : 2);
        Report(
            "getMissingOrBufferingCalls, " + std::to_string(count) + " x " + std::to_string(count),
            t, 1e9);
        (n == 2000 ? missingSmall : missingLarge) = t.method;
        (n == 2000 ? bareSmall : bareLarge) = t.bare;
    }
    ReportGrowth("getMissingOrBufferingCalls, 20,000 against 2,000", missingSmall, 1, missingLarge,
                 1, 12.0, "at most 12x");
    ReportGrowth("  the bare list, 20,000 against 2,000", bareSmall, 1, bareLarge, 1, 1e9, "-");
}

// A call in any workspace of a set.
void Bench::Search() {
    const int workspaces = quick ? 3 : 100, calls = quick ? 10 : 1000;
    for (int w = 0; w < workspaces; ++w) {
        MakeEmptyFiles(set("Search") / ("W" + std::to_string(w)) / "Calls", calls, "c");
    }
    const std::string setFolder = set("Search").string();
    Report("isCallInWorkspace, " + std::to_string(workspaces) + " workspaces of " +
               std::to_string(calls) + " calls, absent",
           Measure(
               "isCallInWorkspace", timed("isCallInWorkspace", {outer, "Search", "absent"}),
               isValue(false),
               [&] {
                   WIN32_FIND_DATAA data;
                   for (int w = 0; w < workspaces; ++w) {
                       const std::string pattern =
                           setFolder + "\\W" + std::to_string(w) + "\\Calls\\absent";
                       HANDLE h = FindFirstFileA(pattern.c_str(), &data);
                       if (h != INVALID_HANDLE_VALUE) FindClose(h);
                   }
               },
               20),
           2.0);
    Check(call("isCallInWorkspace", {outer, "Search", "c7"}).value == embedding::Value(true),
          "isCallInWorkspace present");
}

// Workspace lists.
void Bench::List() {
    double listSmall = 0, listLarge = 0, bareSmall = 0, bareLarge = 0;
    for (const int n : {500, 5000}) {
        const int count = quick ? n / 100 : n;
        const std::string inner = "List" + std::to_string(n);
        for (int i = 0; i < count; ++i) {
            fs::create_directories(set(inner) / ("ws" + std::to_string(i)));
        }
        const std::string setFolder = set(inner).string();
        const Timing t = Measure(
            "getWorkspaceList " + inner, timed("getWorkspaceList", {outer, inner}),
            occurrences(',', count - 1), [&] { BareList(setFolder); }, n == 500 ? 20 : 4);
        Report("getWorkspaceList, " + std::to_string(count) + " workspaces", t, 1.3);
        (n == 500 ? listSmall : listLarge) = t.method;
        (n == 500 ? bareSmall : bareLarge) = t.bare;
    }
    ReportGrowth("getWorkspaceList, 5,000 against 500 per workspace", listSmall, 500, listLarge,
                 5000, 1.3, "at most 1.3x");
    // The search itself, for comparison: under Wine it is not linear.
    ReportGrowth("  the bare list, 5,000 against 500 per workspace", bareSmall, 500, bareLarge,
                 5000, 1e9, "-");
}

// Usage of a nested tree.
void Bench::Usage() {
    const int top = quick ? 2 : 20, sub = quick ? 2 : 10, files = quick ? 5 : 100;
    for (int a = 0; a < top; ++a) {
        for (int b = 0; b < sub; ++b) {
            const fs::path folder =
                set("Usage") / ("W" + std::to_string(a)) / ("S" + std::to_string(b));
            fs::create_directories(folder);
            for (int f = 0; f < files; ++f) {
                WriteFileBytes(folder / ("f" + std::to_string(f)), std::string(2048, 'u'));
            }
        }
    }
    const std::string setFolder = set("Usage").string();
    const double expected = 2.0 * top * sub * files / 1024 / 1024;
    Report("getWorkspaceUsage, " + std::to_string(top * sub * files) + " files",
           Measure(
               "getWorkspaceUsage", timed("getWorkspaceUsage", {outer, "Usage"}), isValue(expected),
               [&] { BareWalk(setFolder); }, 3),
           1.2);
}

// Delete and copy of a whole workspace.
void Bench::Tree() {
    const int folders = quick ? 2 : 20, files = quick ? 5 : 100;
    const fs::path source = set("Tree") / "Source";
    for (int f = 0; f < folders; ++f) {
        const fs::path folder = source / "Calls" / ("c" + std::to_string(f));
        fs::create_directories(folder);
        for (int i = 0; i < files; ++i) {
            WriteFileBytes(folder / ("part" + std::to_string(i)), std::string(4096, 'p'));
        }
    }
    const std::wstring sourceLong = LongForm(source);
    const std::wstring goneLong = LongForm(set("Tree") / "Gone");
    const std::wstring copyLong = LongForm(set("Tree") / "Copy");
    const std::string count = std::to_string(folders * files);
    Report("deleteWorkspace, " + count + " files",
           MeasureOnce(
               "deleteWorkspace", [&] { BareCopyTree(sourceLong, goneLong); },
               timed("deleteWorkspace", {outer, "Gone", "Tree"}), isValue(true),
               [&] { BareDeleteTree(goneLong); }),
           1.2);
    Report("copyWSFolder, " + count + " files",
           MeasureOnce(
               "copyWSFolder", [&] { BareDeleteTree(copyLong); },
               timed("copyWSFolder", {outer, "Tree", "Source", "Copy"}), isValue(true),
               [&] { BareCopyTree(sourceLong, copyLong); }),
           1.2);
}

// Long calls through the host: a copy of a workspace of many
// files, followed and stoppable, beside the plug-in's own copy, and
// the short calls a page makes while it runs.
void Bench::Host() {
    const int folders = quick ? 5 : 50, files = 60;
    const size_t fileBytes = quick ? 4096 : 68 * 1024;
    const fs::path source = set("Host") / "Big";
    for (int f = 0; f < folders; ++f) {
        const fs::path folder = source / "Calls" / ("d" + std::to_string(f));
        fs::create_directories(folder);
        for (int i = 0; i < files; ++i) {
            WriteFileBytes(folder / ("f" + std::to_string(i) + ".wav"),
                           std::string(fileBytes, 'h'));
        }
    }
    const std::string what = std::to_string(folders * files) + " files, " +
                             SizeText(size_t(folders) * files * fileBytes);
    const std::wstring copyLong = LongForm(set("Host") / "Copy");
    const std::vector<embedding::Value> copyArgs = {outer, "Host", "Big", "Copy"};
    // The walk with a progress sink that only counts, against the
    // walk alone: what following a copy costs in the module.
    struct Counter {
        static int32_t NPAPI_CALLBACK Report(void* context, const ProgressReport*) {
            ++*static_cast<size_t*>(context);
            return 1;
        }
    };
    size_t reports = 0;
    auto copyFollowed = [&] {
        browser.SetProgressSink(embed.npp(), ProgressSink{&reports, &Counter::Report});
        const embedding::CallOutcome outcome = call("copyWSFolder", copyArgs);
        browser.SetProgressSink(embed.npp(), std::nullopt);
        return outcome;
    };
    const Timing followed = MeasureOnce(
        "copyWSFolder followed", [&] { BareDeleteTree(copyLong); }, copyFollowed, isValue(true),
        [&] { call("copyWSFolder", copyArgs); });
    Report("copyWSFolder followed (counted first, each entry told), " + what, followed, 1.02);

    // The host, as a browser drives it; a reader thread notes when
    // each answer comes.
    std::mutex lock;
    std::condition_variable arrived;
    std::map<long, Clock::time_point> answers;
    size_t progressMessages = 0;
    standin::HostProcess host(platform::Utf8FromWide(embedding::ProgramFolder()) +
                              "npDravenilFileAccessHost.exe");
    Check(host.Started(), "the host did not start");
    std::thread reader([&] {
        while (const auto message = host.Receive()) {
            const size_t at = message->find("\"id\":");
            const long id = at == std::string::npos ? -1 : std::atol(message->c_str() + at + 5);
            const std::lock_guard<std::mutex> hold(lock);
            if (message->find("\"progress\"") != std::string::npos) {
                ++progressMessages;
            } else {
                answers[id] = Clock::now();
                arrived.notify_all();
            }
        }
    });
    long nextId = 1;
    std::string exchange;  // as a JSON string's content
    for (const char c : platform::Utf8FromWide(scratch.wstring())) {
        exchange += c == '\\' ? std::string("\\\\") : std::string(1, c);
    }
    auto send = [&](const std::string& method, const std::string& args) {
        const long id = nextId++;
        host.Send(standin::Frame("{\"id\":" + std::to_string(id) + ",\"method\":\"" + method +
                                 "\",\"args\":[" + args + "]}"));
        return id;
    };
    auto wait = [&](long id) {
        std::unique_lock<std::mutex> hold(lock);
        arrived.wait_for(hold, std::chrono::seconds(120), [&] { return answers.count(id); });
        return answers.count(id) ? answers[id] : Clock::now();
    };
    auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    const std::string probe = R"("C:\\windows\\win.ini")";
    auto roundTrip = [&] {
        const auto start = Clock::now();
        return seconds(wait(send("fileExists", probe)) - start);
    };
    for (int i = 0; i < 5; ++i) roundTrip();
    std::vector<double> idle;
    for (int i = 0; i < (quick ? 5 : 50); ++i) idle.push_back(roundTrip());

    std::vector<double> during, polls, hostCopies;
    for (int round = 0; round < (quick ? 1 : 3); ++round) {
        BareDeleteTree(copyLong);
        const auto start = Clock::now();
        const long copy = send("copyWSFolder", "\"" + outer + R"(","Host","Big","Copy")");
        std::vector<std::pair<long, Clock::time_point>> quickCalls, pollCalls;
        for (;;) {
            {
                std::unique_lock<std::mutex> hold(lock);
                if (arrived.wait_for(hold, std::chrono::milliseconds(100),
                                     [&] { return answers.count(copy) > 0; })) {
                    break;
                }
            }
            const auto sent = Clock::now();
            pollCalls.push_back({send("readCurrentReplayPos", "false,\"" + exchange + "\""), sent});
            const auto asked = Clock::now();
            quickCalls.push_back({send("fileExists", probe), asked});
        }
        hostCopies.push_back(seconds(wait(copy) - start));
        for (const auto& [id, sent] : quickCalls) during.push_back(seconds(wait(id) - sent));
        for (const auto& [id, sent] : pollCalls) polls.push_back(seconds(wait(id) - sent));
    }
    host.CloseInput();
    reader.join();
    Report("copyWSFolder through the host, with progress messages (" +
               std::to_string(progressMessages) + "), against the plug-in's own",
           Timing{Median(hostCopies), followed.bare}, 1.1);
    if (during.empty()) during.push_back(Median(idle));
    if (polls.empty()) polls.push_back(0);
    Report("fileExists through the host during the copy, against an idle host",
           Timing{Median(during), Median(idle)}, 3.0);
    Report("readCurrentReplayPos at 10/s during the copy, the latest against 50 ms",
           Timing{*std::max_element(polls.begin(), polls.end()), 0.050}, 1.0);
    BareDeleteTree(copyLong);
}

// Settings and volumes.
void Bench::Settings() {
    fs::create_directories(set("In") / "Settings");
    std::string ini = "[General]\r\nCurrentView=timeline\r\n[TimelineVolumes]\r\n";
    const int volumes = quick ? 20 : 2000;
    for (int i = 0; i < volumes; ++i) {
        ini += "line" + std::to_string(i) + "=" + std::to_string(i % 101) + "\r\n";
    }
    const std::string path = (set("In") / "Settings" / "Workspace.ini").string();
    WriteFileBytes(path, ini);
    auto bareRead = [&] {
        char value[10];
        GetPrivateProfileStringA("General", "CurrentView", "", value, sizeof value, path.c_str());
    };
    auto bareSection = [&] {
        std::vector<char> buffer(100000);
        GetPrivateProfileSectionA("TimelineVolumes", buffer.data(),
                                  static_cast<DWORD>(buffer.size()), path.c_str());
    };
    const auto read = timed("readWSCurrentView", {outer, "Settings", "In"});
    const auto vols = timed("getTimelineVols", {outer, "Settings", "In"});
    // A settings file just written reads slowly for a while under
    // Wine (it is read from disk again while its write time is
    // recent): let it settle, by the clock, before timing.
    const auto settled = Clock::now() + std::chrono::seconds(quick ? 0 : 3);
    do {
        read();
        vols();
        bareRead();
        bareSection();
    } while (Clock::now() < settled);
    Report("readWSCurrentView, a settings read",
           Measure("readWSCurrentView", read, isText("timeline"), bareRead, 200), 1.3);
    Report("getTimelineVols, " + std::to_string(volumes) + " entries",
           Measure("getTimelineVols", vols, occurrences('[', volumes + 1), bareSection, 50), 1.3);
}

// Soak: every method family on one object.
void Bench::Soak() {
    const int calls = quick ? 1000 : 100000;
    const std::vector<std::pair<const char*, std::vector<embedding::Value>>> mix = {
        {"setReplayPos", {"1", false, folder}},
        {"readCurrentReplayPos", {false, folder}},
        {"checkReplayUpdate", {true, folder}},
        {"startPlayback", {false}},
        {"getCurrentCallID", {false}},
        {"fileExists", {probe}},
        {"getWorkspaceList", {outer, "In"}},
        {"doesWorkspaceExist", {outer, "Settings", "In"}},
        {"getCallDetailsForWorkspace", {outer, "Missing", "In"}},
        {"getMissingOrBufferingCalls", {outer, "Settings", "In", "a,b"}},
        {"isCallInWorkspace", {outer, "In", "absent"}},
        {"getFileNamesInDir", {folder, ".dat"}},
        {"writeWSCurrentReplayMode", {outer, "Settings", "In", "soak"}},
        {"readWSCurrentReplayMode", {outer, "Settings", "In"}},
        {"readWSNavPosition", {outer, "Settings", "In"}},
        {"createWSFolder", {outer, "Soak", "In"}},
        {"deleteWorkspace", {outer, "Soak", "In"}},
        {"NoSuchMethod", {}},
        {"fileExists", {}},
    };
    // One round first: what the platform sets up once (registry
    // keys, caches) is not growth.
    for (const auto& [method, args] : mix) call(method, args);
    const size_t handlesBefore = HandleCount(), memoryBefore = PrivateBytes();
    for (int i = 0; i < calls; ++i) {
        const auto& [method, args] = mix[static_cast<size_t>(i) % mix.size()];
        call(method, args);
    }
    const size_t handlesAfter = HandleCount(), memoryAfter = PrivateBytes();
    const long long growth =
        static_cast<long long>(memoryAfter) - static_cast<long long>(memoryBefore);
    std::cout << "\nSoak, " << calls << " calls: handles " << handlesBefore << " -> "
              << handlesAfter << ", private memory " << memoryBefore / 1024 << " -> "
              << memoryAfter / 1024 << " KiB (growth " << growth / 1024
              << " KiB), browser buffers outstanding " << browser.LiveBuffers() << "\n";
    Check(handlesAfter <= handlesBefore, "handles left behind by the soak");
    Check(browser.LiveBuffers() == 0, "browser buffers left behind by the soak");
    Check(browser.faults.empty(), "browser faults in the soak");
    Check(growth < (1 << 20), "memory growth of the soak");
}

// The groups, in the order they run; --only names them.
const std::pair<const char*, void (Bench::*)()> kGroups[] = {
    {"exchange", &Bench::Exchange}, {"details", &Bench::Details}, {"missing", &Bench::Missing},
    {"search", &Bench::Search},     {"list", &Bench::List},       {"usage", &Bench::Usage},
    {"tree", &Bench::Tree},         {"host", &Bench::Host},       {"settings", &Bench::Settings},
    {"soak", &Bench::Soak},
};

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--quick") {
            quick = true;
        } else if (std::string(argv[i]) == "--strict") {
            strict = true;
        } else if (std::string(argv[i]) == "--only" && i + 1 < argc) {
            only.push_back(argv[++i]);
        } else {
            std::cerr << "usage: benchmark [--quick] [--strict] [--only GROUP]...\ngroups:";
            for (const auto& [group, run] : kGroups) std::cerr << " " << group;
            std::cerr << "\n";
            return 2;
        }
    }
    char appDataText[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, appDataText) != S_OK) {
        std::cerr << "benchmark: no local application-data folder\n";
        return 1;
    }
    const std::string outer =
        "benchmark-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
    const fs::path outerFolder = fs::path(appDataText) / "Dravenil" / "Workspaces" / outer;
    const fs::path scratch = fs::temp_directory_path() / outer;
    fs::create_directories(scratch);
    fs::create_directories(outerFolder);

    {
        Bench bench(outer, outerFolder, scratch);
        for (const auto& [group, run] : kGroups) {
            if (Selected(group)) (bench.*run)();
        }
    }

    std::error_code ignored;
    fs::remove_all(outerFolder, ignored);
    fs::remove_all(scratch, ignored);

    std::cout << "\n";
    if (quick) std::cout << "\nQuick run: small data, one round; the times mean nothing.\n";
    size_t goals = 0, met = 0;
    for (const Row& r : rows) {
        if (r.goal == "-") continue;
        ++goals;
        met += r.met ? 1 : 0;
    }
    std::cout << "\n" << met << " of " << goals << " goals met\n";
    if (failures) std::cerr << failures << " wrong results\n";
    if (failures) return 1;
    return strict && met < goals ? 3 : 0;
}
