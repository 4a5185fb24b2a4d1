// The call details file of a workspace, Calls.dat, turned into the bracketed
// text page script reads. A pure function of the file's bytes: another
// program writes the file while pages read it, so any bytes at all are safe.
//
// Layout, little-endian, no padding: int32 record count; per record int32
// call key, int32 detail count; per detail int32 detail key, a text with a
// one-byte length, a text with a one- or two-byte length (first byte L below
// 128: L; else L - 128 + 128 * the next byte). A text ends at its first NUL;
// the position still advances by its declared length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace workspace {

// "[[7,1,[3,'ab','xyz']],[-1,0]]": records as "[key,count" then
// ",[detailKey,'first','second']" per detail and "]"; texts quoted as
// JavaScript literals (PutQuoted). Only complete records appear: a file that
// ends inside a record yields the text of the records before it, still
// closed with "]". Counts are never trusted for memory: a count larger than
// the data simply runs out of data.
//
// The text is made in two passes, so that it can be written straight into
// the buffer that will hold it: the measure sizes it exactly without
// allocating, then the writer fills exactly that many bytes.
struct CallDetailsLayout {
    size_t size = 0;      // bytes of the whole text
    int32_t records = 0;  // complete records in it
};
CallDetailsLayout MeasureCallDetails(std::string_view bytes);
// Writes exactly `layout.size` bytes to `out`; `layout` is the measure of
// the same bytes.
void WriteCallDetails(std::string_view bytes, const CallDetailsLayout& layout, char* out);

// Both passes into a string of its own.
std::string CallDetailsText(std::string_view bytes);

}  // namespace workspace
