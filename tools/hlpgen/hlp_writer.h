// Writes a help document as an uncompressed WinHelp 4 file.
#pragma once

#include "byte_buffer.h"
#include "help_source.h"

#include <string>

// The file holds |TOPIC (all topics in the first 4 KiB topic block, the
// layout every reader agrees on), |SYSTEM (title and contents topic),
// |FONT, |CONTEXT (context names), |CTXOMAP (context numbers), |TTLBTREE
// (topic titles) and the directory. `genDate` is stored as the file's
// generation date (seconds since 1970). Fails, with a reason, when the
// topics do not fit in one topic block or a tree in one page.
bool BuildHelpFile(const HelpDocument& doc, uint32_t genDate, Bytes& file, std::string& error);

// Each topic's text starts with its title as a heading in HeadingFont and a
// blank line; the source's lines follow in BodyFont.
inline constexpr uint8_t BodyFont = 0;
inline constexpr uint8_t HeadingFont = 1;

// Bytes that the topic block can hold for the records of all topics.
inline constexpr size_t TopicBlockCapacity = 4096 - 12;
