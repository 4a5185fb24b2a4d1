// Files and folders at any depth for tests that build and inspect workspace
// trees deeper than the narrow functions reach: every helper works on
// "\\?\" paths with the wide functions, and none follows a link.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

namespace testing_support {

// The "\\?\" form of an absolute path.
std::wstring LongForm(const std::filesystem::path& path);

// Creates the folder and every missing folder above it.
void MakeLongFolders(const std::filesystem::path& folder);
// Creates or replaces a file with `bytes`, then gives it `attributes`.
void WriteLong(const std::filesystem::path& file, const std::string& bytes,
               DWORD attributes = FILE_ATTRIBUTE_NORMAL);
bool LongExists(const std::filesystem::path& path);

// Every entry below `folder`, one line each, sorted: the relative path, "/"
// for a folder, or the file's size and a hash of its bytes, and "H" or "R" for hidden or read-only
// entries. Links are listed as "-> link" and not entered.
std::string LongTree(const std::filesystem::path& folder);

// Removes `path` and everything below it, read-only entries too; a link is
// removed as a link. True when nothing of it remains.
bool RemoveLongTree(const std::filesystem::path& path);

// The two kinds of link Windows has. A symbolic link is made with the
// Windows call where the system allows it (developer mode or an
// administrator), else, under Wine, with the Unix `ln -s`; a
// junction leads only to a folder, and any Windows user may make one (Wine 8
// cannot). A hard link is another name of a file itself (never a folder).
enum class LinkKind { Symbolic, Junction, Hard };
inline constexpr LinkKind kLinkKinds[] = {LinkKind::Symbolic, LinkKind::Junction};
inline constexpr LinkKind kEveryLinkKind[] = {LinkKind::Symbolic, LinkKind::Junction,
                                              LinkKind::Hard};
const char* NameOf(LinkKind kind);      // "symbolic link"
const char* TestNameOf(LinkKind kind);  // "SymbolicLink"

// Makes `link` a link of that kind to the folder or file `target`; false
// when it cannot be made here.
bool MakeLink(const std::filesystem::path& link, const std::filesystem::path& target,
              LinkKind kind);
bool MakeJunction(const std::filesystem::path& link, const std::filesystem::path& target);
// Removes a link itself, never what it leads to. True when its folder no
// longer lists it.
bool RemoveLink(const std::filesystem::path& link);

// Whether `path` is a link: a reparse point where links open as themselves,
// or a name the file system gives another path once opened (Wine opens a
// link as what it leads to, and lists a link to a file as a plain file).
bool IsLink(const std::filesystem::path& path);
// Whether the link opens as itself here (on Windows; not under Wine).
bool OpensAsItself(const std::filesystem::path& link);
// Whether the folder that holds `path` lists its name. (GetFileAttributesW
// calls a link whose target is gone absent; Wine does not list one either.)
bool ListedInParent(const std::filesystem::path& path);

}  // namespace testing_support
