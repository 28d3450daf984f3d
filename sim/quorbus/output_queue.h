// Bytes waiting to be written to one client, bounded: what does not fit is
// refused (the caller counts it as dropped). One thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorbus {

class OutputQueue {
public:
    explicit OutputQueue(std::size_t limit_bytes) : limit_(limit_bytes) {}

    // Appends text whole, or nothing when the queue would exceed its limit.
    bool push(std::string_view text) {
        if (size() + text.size() > limit_) return false;
        if (head_ > 0 && head_ >= buffer_.size() / 2) {
            buffer_.erase(0, head_);
            head_ = 0;
        }
        buffer_.append(text);
        return true;
    }

    // The bytes to write next.
    std::string_view pending() const { return std::string_view(buffer_).substr(head_); }
    // Marks n bytes of pending() as written (n <= size()).
    void consume(std::size_t n) {
        head_ += n;
        if (head_ >= buffer_.size()) {
            buffer_.clear();
            head_ = 0;
        }
    }
    std::size_t size() const { return buffer_.size() - head_; }
    bool empty() const { return size() == 0; }

private:
    std::size_t limit_;
    std::string buffer_;
    std::size_t head_ = 0;
};

}  // namespace quorbus
