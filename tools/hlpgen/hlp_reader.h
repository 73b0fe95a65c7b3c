// Reads a WinHelp 4 file of the kind BuildHelpFile writes and checks every
// structure a help viewer relies on: the header and directory, each internal
// file's header and bounds, the B+ tree pages, the topic records and their
// links, and that every topic offset in |SYSTEM, |CONTEXT, |CTXOMAP and
// |TTLBTREE is the start of a topic. The topics may span several topic
// blocks: each block's header, and every TOPICPOS and TOPICOFFSET, must
// follow the block they fall in. It is deliberately strict: anything it
// does not know (compression, phrase files, multi-page trees, formatting
// commands other than font and paragraph end) is refused rather than
// guessed at.
#pragma once

#include "byte_buffer.h"

#include <string>
#include <utility>
#include <vector>

struct HelpFileEntry {
    std::string name;
    uint32_t offset = 0;   // of its 9-byte file header
    uint32_t reserved = 0;
    uint32_t used = 0;
};

struct HelpFileTopic {
    uint32_t offset = 0;   // TOPICOFFSET
    uint32_t pos = 0;      // TOPICPOS of its header record
    std::string title;
    std::vector<std::string> lines; // every line of the text, headings included
    std::vector<int> fonts;         // the font in force at the end of each line
};

struct HelpFileView {
    std::vector<HelpFileEntry> directory;                 // in directory order
    std::string title;
    uint32_t genDate = 0;
    uint32_t contentsOffset = 0;
    int fontCount = 0;
    int topicBlocks = 0;                                  // 4 KiB blocks of |TOPIC
    std::vector<HelpFileTopic> topics;                    // without the closing record
    std::vector<std::pair<int32_t, uint32_t>> contexts;   // |CONTEXT: hash, offset
    std::vector<std::pair<int32_t, uint32_t>> contextMap; // |CTXOMAP: number, offset
    std::vector<std::pair<uint32_t, std::string>> titles; // |TTLBTREE: offset, title

    // The topic starting at a topic offset, or null.
    const HelpFileTopic* TopicAt(uint32_t offset) const;
};

bool ReadHelpFile(const Bytes& file, HelpFileView& view, std::string& error);
