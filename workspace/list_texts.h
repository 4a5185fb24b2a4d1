// The list texts page script receives, built from what a search or a
// section read found. Pure functions of their input: no Windows call.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace workspace {

// Appends `text` between single quotes, escaped as a JavaScript string
// literal: backslash, single quote, CR and LF, U+2028 and U+2029, and the
// other control characters. Evaluating the result gives exactly `text`; a
// text without these characters is quoted byte for byte.
void AppendQuoted(std::string& out, std::string_view text);

// "['North','South']": each name quoted (AppendQuoted), in the order given;
// "[]" for none.
std::string QuotedNameList(const std::vector<std::string>& names);

// The names of the comma-separated call list that are not in `present`, in
// list order (duplicates kept), joined by ","; empty pieces of the list are
// dropped. Names compare byte for byte.
std::string MissingCallsText(std::string_view callList,
                             const std::unordered_set<std::string>& present);

// The file names whose last four characters equal the suffix (byte for
// byte), joined by ","; a suffix of any other length, or a name shorter than
// four characters, never matches.
std::string FileNamesText(const std::vector<std::string>& fileNames, std::string_view suffix);

// "[[7,80],[12,100]]" for the section list "7=80\0" "12=100\0": each entry
// with its first "=" turned into ",", in the order of the list, nothing
// quoted; entries without "=" are left out; "[]" for none. The list ends at
// its end or at an empty entry.
std::string VolumeListText(std::string_view sectionList);

}  // namespace workspace
