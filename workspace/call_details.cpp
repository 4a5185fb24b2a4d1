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
        return text.substr(0, FindNul(text.data(), text.size()));
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

template <class Sink>
void PutNumber(Sink& sink, int32_t value) {
    // 11 characters at most; sized for the copy's sixteen-byte steps.
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    sink.Put(std::string_view(digits, static_cast<size_t>(end - digits)));
}

// Writes one detail item's text; false (with part of it written) when the
// data ends inside it.
template <class Sink>
bool PutDetail(Cursor& cursor, Sink& sink) {
    const auto key = cursor.Int32();
    const auto firstLength = key ? cursor.Byte() : std::nullopt;
    const auto first = firstLength ? cursor.Text(*firstLength) : std::nullopt;
    const auto secondLength = first ? SecondTextLength(cursor) : std::nullopt;
    const auto second = secondLength ? cursor.Text(*secondLength) : std::nullopt;
    if (!second) return false;
    sink.Put(",[");
    PutNumber(sink, *key);
    sink.Put(',');
    PutQuoted(sink, *first);
    sink.Put(',');
    PutQuoted(sink, *second);
    sink.Put(']');
    return true;
}

// One call record's text; false when the data ends inside the record, which
// then must not be kept.
template <class Sink>
bool PutRecord(Cursor& cursor, Sink& sink, bool first) {
    const auto key = cursor.Int32();
    const auto details = key ? cursor.Int32() : std::nullopt;
    if (!details) return false;
    if (!first) sink.Put(',');
    sink.Put('[');
    PutNumber(sink, *key);
    sink.Put(',');
    PutNumber(sink, *details);
    for (int32_t d = 0; d < *details; ++d) {
        if (!PutDetail(cursor, sink)) return false;
    }
    sink.Put(']');
    return true;
}

}  // namespace

CallDetailsLayout MeasureCallDetails(std::string_view bytes) {
    Cursor cursor(bytes);
    CountingSink sink;
    sink.Put('[');
    const int32_t records = cursor.Int32().value_or(0);
    CallDetailsLayout layout;
    for (int32_t r = 0; r < records; ++r) {
        // What an incomplete record added is taken back.
        const size_t before = sink.size;
        if (!PutRecord(cursor, sink, r == 0)) {
            sink.size = before;
            break;
        }
        ++layout.records;
    }
    sink.Put(']');
    layout.size = sink.size;
    return layout;
}

void WriteCallDetails(std::string_view bytes, const CallDetailsLayout& layout, char* out) {
    Cursor cursor(bytes);
    BufferSink sink{out};
    sink.Put('[');
    cursor.Int32();
    // Only the records the measure found complete: each is written whole.
    for (int32_t r = 0; r < layout.records; ++r) PutRecord(cursor, sink, r == 0);
    sink.Put(']');
}

std::string CallDetailsText(std::string_view bytes) {
    const CallDetailsLayout layout = MeasureCallDetails(bytes);
    std::string text(layout.size, '\0');
    WriteCallDetails(bytes, layout, text.data());
    return text;
}

}  // namespace workspace
