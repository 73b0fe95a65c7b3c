// Writes a help document as an uncompressed WinHelp 4 file.
#pragma once

#include "byte_buffer.h"
#include "help_source.h"

#include <string>

// The file holds |TOPIC (the topics in as many 4 KiB topic blocks as they
// need), |SYSTEM (title and contents topic), |FONT, |CONTEXT (context
// names), |CTXOMAP (context numbers), |TTLBTREE (topic titles) and the
// directory. `genDate` is stored as the file's generation date (seconds
// since 1970). Fails, with a reason, when a topic's formatting does not fit
// in one topic block or a tree in one page.
bool BuildHelpFile(const HelpDocument& doc, uint32_t genDate, Bytes& file, std::string& error);

// Each topic's text starts with its title as a heading in HeadingFont and a
// blank line; the source's lines follow in BodyFont.
inline constexpr uint8_t BodyFont = 0;
inline constexpr uint8_t HeadingFont = 1;
