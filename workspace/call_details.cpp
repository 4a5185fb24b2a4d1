#include "workspace/call_details.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>

#include "workspace/list_texts.h"

namespace workspace {
namespace {

// A read position that never passes the end of its bytes.
class Cursor {
  public:
    explicit Cursor(std::string_view bytes) : bytes_(bytes) {}

    std::optional<int32_t> Int32() {
        if (bytes_.size() - position_ < 4) return std::nullopt;
        uint32_t value = 0;
        for (int i = 3; i >= 0; --i) {
            value = (value << 8) | static_cast<unsigned char>(bytes_[position_ + i]);
        }
        position_ += 4;
        int32_t signedValue;
        std::memcpy(&signedValue, &value, sizeof value);
        return signedValue;
    }

    std::optional<uint8_t> Byte() {
        if (position_ == bytes_.size()) return std::nullopt;
        return static_cast<uint8_t>(bytes_[position_++]);
    }

    // `length` bytes, cut at their first NUL.
    std::optional<std::string_view> Text(size_t length) {
        if (bytes_.size() - position_ < length) return std::nullopt;
        std::string_view text = bytes_.substr(position_, length);
        position_ += length;
        return text.substr(0, text.find('\0'));
    }

  private:
    std::string_view bytes_;
    size_t position_ = 0;
};

std::optional<size_t> SecondTextLength(Cursor& cursor) {
    const auto low = cursor.Byte();
    if (!low) return std::nullopt;
    if (*low < 128) return *low;
    const auto high = cursor.Byte();
    if (!high) return std::nullopt;
    return size_t{*low} - 128 + 128 * size_t{*high};
}

void AppendNumber(std::string& out, int32_t value) {
    char digits[12];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

// Appends one detail item's text; false (with `out` partly written) when the
// data ends inside it.
bool AppendDetail(Cursor& cursor, std::string& out) {
    const auto key = cursor.Int32();
    const auto firstLength = key ? cursor.Byte() : std::nullopt;
    const auto first = firstLength ? cursor.Text(*firstLength) : std::nullopt;
    const auto secondLength = first ? SecondTextLength(cursor) : std::nullopt;
    const auto second = secondLength ? cursor.Text(*secondLength) : std::nullopt;
    if (!second) return false;
    out.append(",[");
    AppendNumber(out, *key);
    out += ',';
    AppendQuoted(out, *first);
    out += ',';
    AppendQuoted(out, *second);
    out += ']';
    return true;
}

}  // namespace

std::string CallDetailsText(std::string_view bytes) {
    Cursor cursor(bytes);
    std::string text;
    // The text is about as long as the file for realistic details.
    text.reserve(bytes.size() + bytes.size() / 4 + 2);
    text += '[';
    const int32_t records = cursor.Int32().value_or(0);
    for (int32_t r = 0; r < records; ++r) {
        const auto key = cursor.Int32();
        const auto details = key ? cursor.Int32() : std::nullopt;
        if (!details) break;
        // Written in place and taken back whole when the data ends inside it.
        const size_t recordStart = text.size();
        if (r > 0) text += ',';
        text += '[';
        AppendNumber(text, *key);
        text += ',';
        AppendNumber(text, *details);
        bool complete = true;
        for (int32_t d = 0; d < *details && complete; ++d) complete = AppendDetail(cursor, text);
        if (!complete) {
            text.resize(recordStart);
            break;
        }
        text += ']';
    }
    text += ']';
    return text;
}

}  // namespace workspace
