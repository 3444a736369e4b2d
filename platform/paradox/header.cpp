#include "platform/paradox/header.h"

#include "platform/paradox/bytes.h"

#include <cstring>

namespace paradox {

using namespace offsets;

std::string Header::versionName() const
{
    switch (fileVersion) {
    case 3: return "3.0";
    case 4: return "3.5";
    case 10:
    case 11: return "5.x";
    case 12: return "7";
    default: return fileVersion >= 5 && fileVersion <= 9 ? "4.x" : "desconhecida (" + std::to_string(fileVersion) + ")";
    }
}

namespace {

bool isIndexOfX(FileType t) { return t == FileType::SecondaryIndexOfX || t == FileType::CompositeIndexOfX; }

// Reads a NUL-terminated string at pos, moving pos past its NUL.
bool readCString(const uint8_t* data, size_t available, size_t& pos, std::string& out)
{
    const void* nul = pos < available ? std::memchr(data + pos, 0, available - pos) : nullptr;
    if (!nul)
        return false;
    const size_t end = size_t(static_cast<const uint8_t*>(nul) - data);
    out.assign(reinterpret_cast<const char*>(data + pos), end - pos);
    pos = end + 1;
    return true;
}

} // namespace

std::string parseHeader(const uint8_t* d, size_t available, uint64_t fileSize, Header& h)
{
    if (available < 0x58 || fileSize < 0x58)
        return "arquivo curto demais para um cabeçalho";
    h.recordSize = bytes::u16le(d + recordSize);
    h.headerSize = bytes::u16le(d + headerSize);
    const int type = d[fileType];
    if (type > 8)
        return "tipo de arquivo desconhecido (" + std::to_string(type) + ")";
    h.fileType = FileType(type);
    const int code = d[blockSizeCode];
    if (code != 1 && code != 2 && code != 3 && code != 4 && code != 8 && code != 16 && code != 32)
        return "tamanho de bloco inválido (" + std::to_string(code) + ")";
    h.blockSize = code * 1024;
    h.recordCount = bytes::u32le(d + recordCount);
    h.blocksInUse = bytes::u16le(d + blocksInUse);
    h.blocksInFile = bytes::u16le(d + blocksInFile);
    h.firstBlock = bytes::u16le(d + firstBlock);
    h.lastBlock = bytes::u16le(d + lastBlock);
    h.keyFieldCount = bytes::u16le(d + keyFieldCount);
    h.fileVersion = d[fileVersion];
    h.sortOrderCode = d[sortOrder];
    h.autoIncrement = bytes::u32le(d + autoIncrement);
    h.firstFreeBlock = bytes::u16le(d + firstFreeBlock);
    h.indexRoot = bytes::u16le(d + indexRoot);
    h.indexLevels = d[indexLevels];
    if (h.fileVersion < 3 || h.fileVersion > 12)
        return "versão de arquivo desconhecida (" + std::to_string(h.fileVersion) + ")";
    if (h.recordSize <= 0 || h.recordSize > h.blockSize - 6)
        return "tamanho de registro inválido (" + std::to_string(h.recordSize) + ")";
    if (h.headerSize < 0x58 || uint64_t(h.headerSize) > fileSize || size_t(h.headerSize) > available)
        return "tamanho de cabeçalho inválido (" + std::to_string(h.headerSize) + ")";
    if (h.blocksInUse > h.blocksInFile)
        return "contagem de blocos inconsistente";

    const bool extension = h.hasDataExtension();
    if (extension && available < 0x78)
        return "cabeçalho incompleto";
    const uint32_t key = extension ? bytes::u32le(d + encryption2) : bytes::u32le(d + encryption1);
    h.encrypted = key != 0;
    h.needsRebuild = d[modifiedFlags1] || d[modifiedFlags2] || d[indexUpdateRequired] || d[writeProtected] == 1
                  || d[auxPasswords];
    h.codePage = extension ? bytes::u16le(d + codePage) : 0;

    const int n = bytes::u16le(d + fieldCount);
    if (n <= 0 || n > 255)
        return "número de campos inválido (" + std::to_string(n) + ")";
    const size_t base = extension ? 0x78 : 0x58;
    const bool dataFile = h.fileType != FileType::PrimaryIndex && !isIndexOfX(h.fileType);
    const size_t nameLength = h.fileVersion >= 12 ? 261 : 79;
    const size_t tableNameAt = base + 2 * size_t(n) + 4 + (dataFile ? 4 * size_t(n) : 0);
    if (tableNameAt + nameLength > size_t(h.headerSize))
        return "cabeçalho menor que a descrição dos campos";

    h.fields.clear();
    int offset = 0;
    for (int i = 0; i < n; ++i) {
        Field f;
        const uint8_t t = d[base + 2 * size_t(i)];
        const uint8_t s = d[base + 2 * size_t(i) + 1];
        f.type = FieldType(t);
        if (typeLetter(f.type) == '?')
            return "tipo de campo desconhecido (" + std::to_string(t) + ") no campo " + std::to_string(i + 1);
        f.size = f.type == FieldType::Bcd ? 17 : s;
        f.decimals = f.type == FieldType::Bcd ? s : 0;
        if (!validSize(f.type, f.size) || f.decimals > 32)
            return "tamanho inválido no campo " + std::to_string(i + 1);
        f.offset = offset;
        offset += f.size;
        h.fields.push_back(f);
    }
    // Index records carry three shorts after their key fields.
    if (offset != h.recordSize - (dataFile ? 0 : 6))
        return "tamanho de registro diferente da soma dos campos";

    const char* name = reinterpret_cast<const char*>(d + tableNameAt);
    h.tableName.assign(name, strnlen(name, nameLength));
    if (dataFile) {
        size_t pos = tableNameAt + nameLength;
        for (Field& f : h.fields) {
            if (!readCString(d, size_t(h.headerSize), pos, f.name))
                return "nomes de campos incompletos no cabeçalho";
        }
        if (extension) {
            pos += 2 * size_t(n);
            std::string id;
            if (pos < size_t(h.headerSize) && readCString(d, size_t(h.headerSize), pos, id))
                h.sortOrderId = id;
        }
    }
    h.raw.assign(d, d + h.headerSize);
    return {};
}

void storeLayout(Header& h)
{
    uint8_t* d = h.raw.data();
    bytes::putU16le(d + recordSize, uint16_t(h.recordSize));
    bytes::putU16le(d + headerSize, uint16_t(h.raw.size()));
    d[fileType] = uint8_t(h.fileType);
    d[blockSizeCode] = uint8_t(h.blockSize / 1024);
    bytes::putU16le(d + fieldCount, uint16_t(h.fields.size()));
    bytes::putU16le(d + keyFieldCount, uint16_t(h.keyFieldCount));
    d[sortOrder] = uint8_t(h.sortOrderCode);
    d[fileVersion] = uint8_t(h.fileVersion);
    const bool extension = h.hasDataExtension();
    if (extension)
        bytes::putU16le(d + codePage, uint16_t(h.codePage));
    const size_t base = extension ? descriptorsWithExtension : descriptorsWithout;
    for (size_t i = 0; i < h.fields.size(); ++i) {
        const Field& f = h.fields[i];
        d[base + 2 * i] = uint8_t(f.type);
        d[base + 2 * i + 1] = uint8_t(f.type == FieldType::Bcd ? f.decimals : f.size);
    }
}

void storeCounters(Header& h)
{
    uint8_t* d = h.raw.data();
    bytes::putU32le(d + recordCount, h.recordCount);
    bytes::putU16le(d + blocksInUse, uint16_t(h.blocksInUse));
    bytes::putU16le(d + blocksInFile, uint16_t(h.blocksInFile));
    bytes::putU16le(d + maxBlocks, uint16_t(h.blocksInFile));
    bytes::putU16le(d + firstBlock, uint16_t(h.firstBlock));
    bytes::putU16le(d + lastBlock, uint16_t(h.lastBlock));
    bytes::putU16le(d + firstFreeBlock, uint16_t(h.firstFreeBlock));
    bytes::putU32le(d + autoIncrement, h.autoIncrement);
    bytes::putU16le(d + indexRoot, uint16_t(h.indexRoot));
    d[indexLevels] = uint8_t(h.indexLevels);
}

} // namespace paradox
