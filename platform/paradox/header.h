#pragma once

#include "platform/paradox/field.h"

#include <cstdint>
#include <string>
#include <vector>

namespace paradox {

// File types of the header byte at 0x04.
enum class FileType : uint8_t {
    KeyedTable = 0,
    PrimaryIndex = 1,
    UnkeyedTable = 2,
    SecondaryNonMaintained = 3,
    SecondaryIndexOfX = 4,
    SecondaryMaintained = 5,
    CompositeNonMaintained = 6,
    CompositeIndexOfX = 7,
    CompositeMaintained = 8,
};

// Offsets of the header fields this engine reads or writes.
namespace offsets {
inline constexpr int recordSize = 0x00;
inline constexpr int headerSize = 0x02;
inline constexpr int fileType = 0x04;
inline constexpr int blockSizeCode = 0x05;
inline constexpr int recordCount = 0x06;
inline constexpr int blocksInUse = 0x0A;
inline constexpr int blocksInFile = 0x0C;
inline constexpr int firstBlock = 0x0E;
inline constexpr int lastBlock = 0x10;
inline constexpr int unknown12 = 0x12;  // meaning unknown: written as the host's engine writes it
inline constexpr int modifiedFlags1 = 0x14;
inline constexpr int indexRoot = 0x1E;
inline constexpr int indexLevels = 0x20;
inline constexpr int fieldCount = 0x21;
inline constexpr int keyFieldCount = 0x23;
inline constexpr int encryption1 = 0x25;
inline constexpr int sortOrder = 0x29;
inline constexpr int modifiedFlags2 = 0x2A;
inline constexpr int stampCopy = 0x2C;
inline constexpr int changeCount = 0x2D;
inline constexpr int structureStamp = 0x2E;
inline constexpr int writeProtected = 0x38;
inline constexpr int fileVersion = 0x39;
inline constexpr int maxBlocks = 0x3A;
inline constexpr int auxPasswords = 0x3D;
inline constexpr int plainMarks = 0x3E;  // 1F 0F in an unencrypted table
inline constexpr int autoIncrement = 0x49;
inline constexpr int firstFreeBlock = 0x4D;
inline constexpr int indexUpdateRequired = 0x4F;
inline constexpr int realHeaderSize = 0x51;
inline constexpr int dataHeaderMark = 0x56;  // 0x20 in a table of version 4 and later
inline constexpr int versionWord1 = 0x58;  // 0x0100 + version byte
inline constexpr int versionWord2 = 0x5A;
inline constexpr int encryption2 = 0x5C;
inline constexpr int structureTime = 0x60;
inline constexpr int highestFieldId = 0x64;
inline constexpr int fieldNumbersOffset = 0x66;  // less 0x58
inline constexpr int codePage = 0x6A;
inline constexpr int extensionMarks = 0x6C;  // 01 01
inline constexpr int sortOrderOffset = 0x6E;
inline constexpr int changeCount4 = 0x70;
// Where the field descriptors start: after the extension of version 4 and
// later data files, at its place in older files and in index files.
inline constexpr int descriptorsWithExtension = 0x78;
inline constexpr int descriptorsWithout = 0x58;
} // namespace offsets

// The decoded header of a table or index file. The raw bytes are kept so that
// a writer changes only the fields it means to change.
struct Header {
    std::vector<uint8_t> raw;
    int recordSize = 0;
    int headerSize = 0;
    FileType fileType = FileType::UnkeyedTable;
    int blockSize = 0;
    uint32_t recordCount = 0;
    int blocksInUse = 0;
    int blocksInFile = 0;
    int firstBlock = 0;
    int lastBlock = 0;
    int keyFieldCount = 0;
    int fileVersion = 0;  // the stored byte: 3, 4, 5..12
    int codePage = 0;
    int sortOrderCode = 0;
    std::string sortOrderId;  // empty for old versions and index files
    std::string tableName;
    uint32_t autoIncrement = 0;
    int firstFreeBlock = 0;
    int indexRoot = 0;
    int indexLevels = 0;
    bool encrypted = false;
    bool needsRebuild = false;  // modified flags, index update, write protect, passwords
    std::vector<Field> fields;

    bool hasDataExtension() const { return fileVersion >= 5 && fileType != FileType::PrimaryIndex
                                           && fileType != FileType::SecondaryIndexOfX
                                           && fileType != FileType::CompositeIndexOfX; }
    // The version as people name it: "3.0", "3.5", "4.x", "5.x", "7".
    std::string versionName() const;
    int capacity() const { return (blockSize - 6) / recordSize; }
};

// Decodes and checks a header read from the start of a file of fileSize
// bytes. Returns an empty string, or why the file is not a readable table.
std::string parseHeader(const uint8_t* data, size_t available, uint64_t fileSize, Header& header);

// Writes the counters of h into h.raw (record count, blocks, chain ends, free
// list, auto-increment, index root and levels).
void storeCounters(Header& h);

// Writes the layout of h into h.raw, sized already to the header: record and
// header size, file type, block size, field and key counts, version, code
// page (with the extension), and the field descriptors at their place. With
// the counters, what parseHeader reads back.
void storeLayout(Header& h);

} // namespace paradox
