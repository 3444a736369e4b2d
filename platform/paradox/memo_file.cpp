#include "platform/paradox/memo_file.h"

#include "platform/paradox/bytes.h"
#include "platform/paradox/error.h"

#include "platform/os/file.h"

namespace paradox {

void MemoFile::load()
{
    if (loaded_)
        return;
    if (path_.empty())
        throw Error("a tabela não tem arquivo de memorandos (.MB)");
    os::File file;
    if (!os::File::open(path_, os::Access::Read, file) || !file.readWhole(data_))
        throw Error("não foi possível ler o arquivo de memorandos " + path_);
    loaded_ = true;
}

std::string MemoFile::read(const uint8_t* descriptor)
{
    load();
    const uint32_t where = bytes::u32le(descriptor);
    const uint32_t length = bytes::u32le(descriptor + 4);
    const uint32_t index = where & 0xFF;
    const size_t block = where & ~0xFFu;
    auto fail = [&] { return Error("memorando inválido no arquivo " + path_ + " (posição " + std::to_string(block) + ")"); };
    if (block + 12 > data_.size())
        throw fail();
    const uint8_t* b = data_.data() + block;
    size_t start = 0;
    size_t size = 0;
    if (index == 0xFF) {
        if (b[0] != 2)
            throw fail();
        start = block + 9;
        size = bytes::u32le(b + 3);
    } else {
        if (b[0] != 3 || index >= 64)
            throw fail();
        const uint8_t* slot = b + 12 + 5 * index;
        if (slot[0] == 0 || slot[1] == 0)
            throw fail();
        start = block + size_t(slot[0]) * 16;
        size = size_t(slot[1] - 1) * 16 + slot[4];
    }
    if (size != length || start + size > data_.size())
        throw fail();
    return std::string(reinterpret_cast<const char*>(data_.data() + start), size);
}

} // namespace paradox
