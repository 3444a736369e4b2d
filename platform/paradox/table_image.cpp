#include "platform/paradox/table_image.h"

#include "platform/paradox/file_names.h"
#include "platform/paradox/primary_index.h"

#include <algorithm>
#include <cstring>

namespace paradox {

std::string TableImage::name() const { return fileNameOf(path); }

bool TableImage::keyed() const
{
    return header.fileType == FileType::KeyedTable || header.fileType == FileType::SecondaryMaintained
        || header.fileType == FileType::CompositeMaintained;
}

const uint8_t* TableImage::block(int number) const
{
    return bytes.data() + header.headerSize + size_t(number - 1) * size_t(header.blockSize);
}

uint8_t* TableImage::block(int number)
{
    return bytes.data() + header.headerSize + size_t(number - 1) * size_t(header.blockSize);
}

void TableImage::refreshRowIndex() const
{
    if (!rowIndexStale_)
        return;
    rowIndexStale_ = false;
    firstRow_.resize(chain.size());
    size_t row = 0;
    for (size_t i = 0; i < chain.size(); ++i) {
        firstRow_[i] = row;
        row += chain[i].count;
    }
}

const uint8_t* TableImage::record(size_t row) const
{
    refreshRowIndex();
    const auto it = std::upper_bound(firstRow_.begin(), firstRow_.end(), row) - 1;
    const size_t i = size_t(it - firstRow_.begin());
    return blockRecord(chain[i], int(row - firstRow_[i]));
}

int TableImage::keyWidth() const
{
    int width = 0;
    for (int i = 0; i < header.keyFieldCount; ++i)
        width += header.fields[size_t(i)].size;
    return width;
}

int TableImage::compareKeys(const uint8_t* a, const uint8_t* b) const
{
    return std::memcmp(a, b, size_t(keyWidth()));
}

IndexLeaf TableImage::leafOf(int number) const
{
    const ConstBlock b = view(number);
    return {std::vector<uint8_t>(b.record(0), b.record(0) + keyWidth()), uint16_t(number), uint16_t(b.count())};
}

std::vector<IndexLeaf> TableImage::allLeaves() const
{
    std::vector<IndexLeaf> leaves;
    for (const BlockRef& b : chain)
        if (b.count > 0)
            leaves.push_back(leafOf(b.number));
    return leaves;
}

} // namespace paradox
