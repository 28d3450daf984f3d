// Appends to one fixed text of a trace line without allocating. Text beyond
// the buffer's capacity (size - 1 characters) is dropped; the text is always
// NUL-terminated.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace canopen_trace {

class TextBuilder {
public:
    TextBuilder(char* buffer, std::size_t size) : buffer_(buffer), capacity_(size - 1) {
        buffer_[0] = '\0';
    }

    std::size_t length() const { return length_; }
    bool empty() const { return length_ == 0; }

    TextBuilder& put(char c) {
        if (length_ < capacity_) {
            buffer_[length_++] = c;
            buffer_[length_] = '\0';
        }
        return *this;
    }

    // UTF-8 text is cut before a character that does not fit whole.
    TextBuilder& text(std::string_view s) {
        std::size_t count = std::min(s.size(), capacity_ - length_);
        while (count > 0 && count < s.size() && isContinuationByte(s[count])) --count;
        std::memcpy(buffer_ + length_, s.data(), count);
        length_ += count;
        buffer_[length_] = '\0';
        return *this;
    }

    // Upper-case hex with at least `digits` digits (leading zeros).
    TextBuilder& hex(uint32_t value, int digits) {
        char reversed[8];
        int count = 0;
        do {
            reversed[count++] = kHexDigits[value & 0xF];
            value >>= 4;
        } while (value != 0);
        for (int i = count; i < digits; ++i) put('0');
        while (count > 0) put(reversed[--count]);
        return *this;
    }

    TextBuilder& unsignedDecimal(uint64_t value) {
        char reversed[20];
        int count = 0;
        do {
            reversed[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (count > 0) put(reversed[--count]);
        return *this;
    }

    TextBuilder& signedDecimal(int64_t value) {
        if (value < 0) {
            put('-');
            return unsignedDecimal(0 - static_cast<uint64_t>(value));
        }
        return unsignedDecimal(static_cast<uint64_t>(value));
    }

    // Decimal with at least `digits` digits (leading zeros), value >= 0.
    TextBuilder& paddedDecimal(uint32_t value, int digits) {
        char reversed[10];
        int count = 0;
        do {
            reversed[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        for (int i = count; i < digits; ++i) put('0');
        while (count > 0) put(reversed[--count]);
        return *this;
    }

private:
    static constexpr char kHexDigits[] = "0123456789ABCDEF";

    static bool isContinuationByte(char c) { return (static_cast<uint8_t>(c) & 0xC0) == 0x80; }

    char* buffer_;
    std::size_t capacity_;
    std::size_t length_ = 0;
};

}  // namespace canopen_trace
