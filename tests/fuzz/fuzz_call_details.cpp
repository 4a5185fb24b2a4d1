// The call details decoder on any bytes: its text is the text of the
// complete records of the data, and the text of a shorter file is a prefix
// of it, record by record; every text is quoted as a JavaScript literal; the
// measure and the writer agree to the byte.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/require.h"
#include "workspace/call_details.h"

namespace {

// A text as a JavaScript string literal, written apart from the plug-in's
// quoting: one byte at a time.
std::string Quoted(const std::string& t) {
    std::string q = "'";
    for (size_t i = 0; i < t.size(); ++i) {
        const auto c = static_cast<unsigned char>(t[i]);
        char hex[8];
        if (c == 0xE2 && t.compare(i, 3, "\xE2\x80\xA8") == 0) {
            q += "\\u2028", i += 2;
        } else if (c == 0xE2 && t.compare(i, 3, "\xE2\x80\xA9") == 0) {
            q += "\\u2029", i += 2;
        } else if (c == '\\' || c == '\'') {
            q += '\\', q += static_cast<char>(c);
        } else if (c == '\r') {
            q += "\\r";
        } else if (c == '\n') {
            q += "\\n";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            q += hex;
        } else {
            q += static_cast<char>(c);
        }
    }
    return q + "'";
}

// A second reading of the layout, written apart from the decoder: the texts
// of the complete records, in order.
std::vector<std::string> ReferenceRecords(std::string_view d) {
    size_t at = 0;
    auto have = [&](size_t n) { return d.size() - at >= n; };
    auto int32 = [&] {
        uint32_t u = 0;
        std::memcpy(&u, d.data() + at, 4);  // the fuzzing machine is little-endian
        at += 4;
        return static_cast<int32_t>(u);
    };
    auto text = [&](size_t n) {
        std::string t(d.substr(at, n));
        at += n;
        return t.substr(0, t.find('\0'));
    };
    std::vector<std::string> records;
    if (!have(4)) return records;
    const int32_t count = int32();
    for (int32_t r = 0; r < count; ++r) {
        if (!have(8)) break;
        const int32_t key = int32(), details = int32();
        std::string record = "[" + std::to_string(key) + "," + std::to_string(details);
        bool complete = true;
        for (int32_t i = 0; i < details && complete; ++i) {
            if (!have(5)) {
                complete = false;
                break;
            }
            const int32_t detailKey = int32();
            const size_t firstLength = static_cast<unsigned char>(d[at++]);
            if (!have(firstLength)) {
                complete = false;
                break;
            }
            const std::string first = text(firstLength);
            if (!have(1)) {
                complete = false;
                break;
            }
            size_t secondLength = static_cast<unsigned char>(d[at++]);
            if (secondLength >= 128) {
                if (!have(1)) {
                    complete = false;
                    break;
                }
                secondLength = secondLength - 128 + 128 * static_cast<unsigned char>(d[at++]);
            }
            if (!have(secondLength)) {
                complete = false;
                break;
            }
            const std::string second = text(secondLength);
            record +=
                ",[" + std::to_string(detailKey) + "," + Quoted(first) + "," + Quoted(second) + "]";
        }
        if (!complete) break;
        records.push_back(record + "]");
    }
    return records;
}

std::string Joined(const std::vector<std::string>& records) {
    std::string text = "[";
    for (size_t i = 0; i < records.size(); ++i) text += (i ? "," : "") + records[i];
    return text + "]";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = workspace::CallDetailsText(bytes);
    // The two passes agree: the writer fills a buffer of exactly the
    // measured size (the sanitizer sees any byte past it).
    const workspace::CallDetailsLayout layout = workspace::MeasureCallDetails(bytes);
    const std::unique_ptr<char[]> exact(new char[layout.size]);
    workspace::WriteCallDetails(bytes, layout, exact.get());
    Require(std::string_view(exact.get(), layout.size) == text);
    Require(text.size() >= 2 && text.front() == '[' && text.back() == ']');
    const std::vector<std::string> records = ReferenceRecords(bytes);
    Require(text == Joined(records));
    // A file cut short gives a leading run of the same records.
    const size_t cut = size ? data[0] % (size + 1) : 0;
    const std::vector<std::string> shorter = ReferenceRecords(bytes.substr(0, cut));
    const std::string shorterText = workspace::CallDetailsText(bytes.substr(0, cut));
    Require(shorter.size() <= records.size());
    for (size_t i = 0; i < shorter.size(); ++i) Require(shorter[i] == records[i]);
    Require(shorterText == Joined(shorter));
    return 0;
}
