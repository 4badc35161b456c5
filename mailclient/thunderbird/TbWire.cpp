#include "mailclient/thunderbird/TbWire.h"

#include <cstring>

namespace tbwire {

std::string Frame(std::string_view payload) {
    const auto size = static_cast<uint32_t>(payload.size());
    std::string out(sizeof size, '\0');
    std::memcpy(out.data(), &size, sizeof size);
    out.append(payload);
    return out;
}

void TFrameReader::Feed(const char* data, size_t size) {
    while (size > 0 && skipping_ > 0) {
        const size_t n = skipping_ < size ? static_cast<size_t>(skipping_) : size;
        skipping_ -= n;
        data += n;
        size -= n;
    }
    if (offset_ > 0 && offset_ == buffer_.size()) {
        buffer_.clear();
        offset_ = 0;
    }
    buffer_.append(data, size);
}

std::optional<TFrameReader::TEvent> TFrameReader::Next() {
    if (pendingOversized_) {
        std::optional<TEvent> e = std::move(pendingOversized_);
        pendingOversized_.reset();
        return e;
    }
    if (skipping_ > 0 || buffer_.size() - offset_ < sizeof(uint32_t)) {
        return std::nullopt;
    }
    uint32_t size = 0;
    std::memcpy(&size, buffer_.data() + offset_, sizeof size);
    if (size > limit_) {
        offset_ += sizeof size;
        const size_t here = buffer_.size() - offset_;
        if (here >= size) {
            offset_ += size;
        } else {
            skipping_ = size - here;
            offset_ = buffer_.size();
        }
        if (offset_ == buffer_.size()) {
            buffer_.clear();
            offset_ = 0;
        }
        return TEvent{TEvent::Oversized, {}, size};
    }
    if (buffer_.size() - offset_ - sizeof size < size) {
        return std::nullopt;
    }
    TEvent e{TEvent::Payload, buffer_.substr(offset_ + sizeof size, size), size};
    offset_ += sizeof size + size;
    if (offset_ == buffer_.size()) {
        buffer_.clear();
        offset_ = 0;
    } else if (offset_ > (size_t{1} << 20) && offset_ * 2 > buffer_.size()) {
        buffer_.erase(0, offset_);
        offset_ = 0;
    }
    return e;
}

void TFrameReader::Reset() {
    buffer_.clear();
    offset_ = 0;
    skipping_ = 0;
    pendingOversized_.reset();
}

}  // namespace tbwire
