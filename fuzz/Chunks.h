#pragma once

#include <QByteArray>
#include <cstddef>
#include <cstdint>

// Cuts a fuzzer input into reads: a control byte, a length byte, then that many
// bytes (255 takes everything left, so one read can be as long as the input).
class Chunks {
public:
    Chunks(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool next(uint8_t& control, QByteArray& bytes) {
        if (pos_ + 2 > size_)
            return false;
        control = data_[pos_];
        size_t length = data_[pos_ + 1];
        pos_ += 2;
        if (length == 255 || length > size_ - pos_)
            length = size_ - pos_;
        bytes =
            QByteArray(reinterpret_cast<const char*>(data_ + pos_), static_cast<qsizetype>(length));
        pos_ += length;
        return true;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};
