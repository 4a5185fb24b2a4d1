// The list texts page script receives, built from what a search or a
// section read found. Pure functions of their input: no Windows call.
#pragma once

#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
#include <emmintrin.h>
#endif

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace workspace {

// Where a text is written: each kind takes single characters and runs of
// them. Counting measures what writing would give.
struct CountingSink {
    size_t size = 0;
    void Put(char) { ++size; }
    void Put(std::string_view text) { size += text.size(); }
};
struct StringSink {
    std::string& out;
    void Put(char c) { out += c; }
    void Put(std::string_view text) { out.append(text); }
};
// Copies `size` bytes, sixteen at a time where the processor can: the runs
// of a call details text are short, and the runtime's memcpy costs more than
// the copy under some runtimes.
#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
__attribute__((target("sse2"))) inline void CopyRun(char* to, const char* from, size_t size) {
    size_t i = 0;
    for (; i + 16 <= size; i += 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i)));
    }
    for (; i < size; ++i) to[i] = from[i];
}
#else
inline void CopyRun(char* to, const char* from, size_t size) { std::memcpy(to, from, size); }
#endif

// Writes into a buffer its owner sized by counting first.
struct BufferSink {
    char* at;
    void Put(char c) { *at++ = c; }
    void Put(std::string_view text) {
        CopyRun(at, text.data(), text.size());
        at += text.size();
    }
};

// Writes `text` between single quotes, escaped as a JavaScript string
// literal: backslash, single quote, CR and LF, U+2028 and U+2029, and the
// other control characters. Evaluating the result gives exactly `text`; a
// text without these characters is quoted byte for byte.
template <class Sink>
void PutQuoted(Sink& sink, std::string_view text);

inline void AppendQuoted(std::string& out, std::string_view text) {
    StringSink sink{out};
    PutQuoted(sink, text);
}

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

// The bytes PutQuoted looks at twice: those it escapes, and 0xE2, which
// starts U+2028 and U+2029.
struct QuotingTable {
    bool special[256] = {};
    constexpr QuotingTable() {
        for (int c = 0; c < 0x20; ++c) special[c] = true;
        special[0x7F] = special[static_cast<unsigned char>('\\')] = true;
        special[static_cast<unsigned char>('\'')] = special[0xE2] = true;
    }
};
inline constexpr QuotingTable kQuoting;

// Where the first NUL of the `size` bytes is, or `size`. A text's own scan:
// the runtime's memchr and strlen look at one byte at a time under some
// runtimes, and call details run to many megabytes.
#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
__attribute__((target("sse2"))) inline size_t FindNul(const char* bytes, size_t size) {
    const __m128i zero = _mm_setzero_si128();
    size_t i = 0;
    for (; i + 16 <= size; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(v, zero));
        if (mask) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
    while (i < size && bytes[i] != '\0') ++i;
    return i;
}
#else
inline size_t FindNul(const char* bytes, size_t size) {
    const void* nul = std::memchr(bytes, '\0', size);
    return nul ? static_cast<size_t>(static_cast<const char*>(nul) - bytes) : size;
}
#endif

// The first byte at or after `i` that kQuoting marks, or `size`. Texts are
// mostly plain, and this is the hot loop of a large call details text: it
// looks at sixteen bytes at a time where the processor can (every processor
// a current browser runs on), else at four.
#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
__attribute__((target("sse2"))) inline size_t NextSpecial(const unsigned char* bytes, size_t i,
                                                          size_t size) {
    const __m128i controls = _mm_set1_epi8(0x1F);
    const __m128i del = _mm_set1_epi8(0x7F), backslash = _mm_set1_epi8('\\');
    const __m128i quote = _mm_set1_epi8('\''), e2 = _mm_set1_epi8(static_cast<char>(0xE2));
    for (; i + 16 <= size; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const __m128i hit = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(v, controls), v), _mm_cmpeq_epi8(v, del)),
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, backslash), _mm_cmpeq_epi8(v, quote)),
                         _mm_cmpeq_epi8(v, e2)));
        const int mask = _mm_movemask_epi8(hit);
        if (mask) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
    while (i < size && !kQuoting.special[bytes[i]]) ++i;
    return i;
}
#else
inline size_t NextSpecial(const unsigned char* bytes, size_t i, size_t size) {
    constexpr uint32_t kOnes = 0x01010101u, kHighs = 0x80808080u;
    auto hasZero = [](uint32_t x) { return (x - kOnes) & ~x & kHighs; };
    for (; i + 4 <= size; i += 4) {
        uint32_t word;
        std::memcpy(&word, bytes + i, 4);
        const uint32_t below = (word - kOnes * 0x20) & ~word & kHighs;  // a byte < 0x20
        if (below | hasZero(word ^ (kOnes * 0x7F)) | hasZero(word ^ (kOnes * '\\')) |
            hasZero(word ^ (kOnes * '\'')) | hasZero(word ^ (kOnes * 0xE2))) {
            break;
        }
    }
    while (i < size && !kQuoting.special[bytes[i]]) ++i;
    return i;
}
#endif

template <class Sink>
void PutQuoted(Sink& sink, std::string_view text) {
    sink.Put('\'');
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const size_t size = text.size();
    size_t plain = 0;  // start of the bytes not written yet
    for (size_t i = NextSpecial(bytes, 0, size); i < size; i = NextSpecial(bytes, i + 1, size)) {
        const unsigned char c = bytes[i];
        // U+2028 and U+2029 (E2 80 A8/A9) end a line in script; other E2
        // sequences are ordinary characters.
        const bool separator =
            c == 0xE2 && i + 2 < size && bytes[i + 1] == 0x80 && (bytes[i + 2] | 1) == 0xA9;
        if (c == 0xE2 && !separator) continue;
        sink.Put(text.substr(plain, i - plain));
        if (c == '\\' || c == '\'') {
            sink.Put('\\');
            sink.Put(static_cast<char>(c));
        } else if (c == '\r' || c == '\n') {
            sink.Put(c == '\r' ? "\\r" : "\\n");
        } else if (separator) {
            sink.Put(bytes[i + 2] == 0xA8 ? "\\u2028" : "\\u2029");
            i += 2;
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            const char escape[4] = {'\\', 'x', kHex[c >> 4], kHex[c & 0xF]};
            sink.Put(std::string_view(escape, sizeof escape));
        }
        plain = i + 1;
    }
    sink.Put(text.substr(plain));
    sink.Put('\'');
}

}  // namespace workspace
