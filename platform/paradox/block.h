#pragma once

#include "platform/paradox/bytes.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace paradox {

// A block of a table or index file: the numbers of the next and the previous
// block, the offset of its last record ((count - 1) x record size, so -size
// when empty), then the records.
template <typename Byte>
class BasicBlock {
public:
    static constexpr size_t headerSize = 6;

    BasicBlock(Byte* data, int recordSize) : p_(data), recordSize_(recordSize) {}
    // A view of a writable block can read.
    BasicBlock(const BasicBlock<std::remove_const_t<Byte>>& other)
        requires std::is_const_v<Byte>
        : p_(other.data()), recordSize_(other.recordSize())
    {
    }

    int next() const { return bytes::u16le(p_); }
    int prev() const { return bytes::u16le(p_ + 2); }
    // The offset of the last record as stored.
    int lastOffset() const { return bytes::s16le(p_ + 4); }
    // Whether the stored offset names a whole number of records that fits.
    bool countValid(int capacity) const
    {
        const int last = lastOffset();
        return last >= -recordSize_ && (last + recordSize_) % recordSize_ == 0
               && (last + recordSize_) / recordSize_ <= capacity;
    }
    int count() const { return (lastOffset() + recordSize_) / recordSize_; }
    Byte* record(int index) const { return p_ + headerSize + size_t(index) * size_t(recordSize_); }
    Byte* data() const { return p_; }
    int recordSize() const { return recordSize_; }

    void setNext(int next) const
        requires(!std::is_const_v<Byte>)
    {
        bytes::putU16le(p_, uint16_t(next));
    }
    void setPrev(int prev) const
        requires(!std::is_const_v<Byte>)
    {
        bytes::putU16le(p_ + 2, uint16_t(prev));
    }
    void setCount(int count) const
        requires(!std::is_const_v<Byte>)
    {
        bytes::putU16le(p_ + 4, uint16_t((count - 1) * recordSize_));
    }

private:
    Byte* p_;
    int recordSize_;
};

using Block = BasicBlock<uint8_t>;
using ConstBlock = BasicBlock<const uint8_t>;

} // namespace paradox
