// Constants of the WinHelp 4 file format that both the writer and the reader
// use, and the context-name hash.
#pragma once

#include <cstdint>
#include <string_view>

namespace hlp {

inline constexpr uint32_t FileMagic = 0x00035F3F;
inline constexpr size_t FileHeaderSize = 16;
inline constexpr size_t InternalHeaderSize = 9; // ReservedSpace, UsedSpace, FileFlags
inline constexpr uint8_t InternalFileFlags = 4;

inline constexpr uint16_t BtreeMagic = 0x293B;
inline constexpr size_t BtreeHeaderSize = 38;
inline constexpr size_t LeafHeaderSize = 8;
inline constexpr uint16_t DirectoryFlags = 0x0402;
inline constexpr uint16_t DirectoryPageSize = 0x0400;
inline constexpr uint16_t TreeFlags = 0x0002;
inline constexpr uint16_t TreePageSize = 0x0800;

inline constexpr uint16_t SystemMagic = 0x036C;
inline constexpr uint16_t SystemMinor = 33; // HCW 4.0: 4 KiB topic blocks
inline constexpr uint16_t SystemMajor = 1;
inline constexpr uint16_t SystemFlags = 0;  // with minor 33: no LZ77 compression
inline constexpr size_t SystemHeaderSize = 12;
inline constexpr uint16_t SystemTitleRecord = 1;
inline constexpr uint16_t SystemContentsRecord = 3;

inline constexpr size_t TopicBlockSize = 4096;
inline constexpr size_t TopicBlockHeaderSize = 12;
inline constexpr size_t TopicBlockDataSize = TopicBlockSize - TopicBlockHeaderSize;
inline constexpr uint32_t TopicPosBlockStep = 0x4000;    // TOPICPOS of block n starts at n * this
inline constexpr uint32_t TopicOffsetBlockStep = 0x8000; // TOPICOFFSET of block n starts at n * this
inline constexpr size_t TopicLinkHeaderSize = 21;
inline constexpr size_t TopicHeaderDataSize = 28; // LinkData1 of a topic header
inline constexpr uint8_t TopicHeaderRecord = 0x02;
inline constexpr uint8_t TextRecord = 0x20;
inline constexpr uint8_t CommandFont = 0x80;
inline constexpr uint8_t CommandParagraphEnd = 0x82;
inline constexpr uint8_t CommandEnd = 0xFF;

inline constexpr size_t FontFaceSize = 32;
inline constexpr size_t FontDescriptorSize = 11;

// Names of the internal files, in the byte-wise order the directory keeps.
inline constexpr const char* ContextFile = "|CONTEXT";
inline constexpr const char* CtxomapFile = "|CTXOMAP";
inline constexpr const char* FontFile = "|FONT";
inline constexpr const char* SystemFile = "|SYSTEM";
inline constexpr const char* TopicFile = "|TOPIC";
inline constexpr const char* TitleTreeFile = "|TTLBTREE";

// Topic data is the blocks' data areas (each after its block header) laid
// end to end, as a viewer joins them. The TOPICPOS of a place in it: its
// block, and the byte in that block counted from the block's start.
inline uint32_t TopicPos(size_t at)
{
    return static_cast<uint32_t>(at / TopicBlockDataSize * TopicPosBlockStep + TopicBlockHeaderSize +
                                 at % TopicBlockDataSize);
}

// Value of one context-name character in the hash; only letters (case
// ignored), digits, '.' and '_' are given a value that every reader agrees on.
inline int ContextCharValue(char c)
{
    if (c >= 'A' && c <= 'Z')
        return 17 + (c - 'A');
    if (c >= 'a' && c <= 'z')
        return 17 + (c - 'a');
    if (c >= '1' && c <= '9')
        return c - '0';
    if (c == '0')
        return 10;
    if (c == '.')
        return 12;
    if (c == '_')
        return 13;
    return -1;
}

// The hash that |CONTEXT is keyed by; an empty name hashes to 1.
inline uint32_t ContextHash(std::string_view name)
{
    if (name.empty())
        return 1;
    uint32_t h = 0;
    for (char c : name)
        h = h * 43u + static_cast<uint32_t>(ContextCharValue(c));
    return h;
}

} // namespace hlp
