// Conversion of the help source's UTF-8 text to the single-byte ANSI text
// (Windows code page 1252) that a WinHelp file stores.
#pragma once

#include <string>
#include <string_view>

// Accepted: printable ASCII (0x20-0x7E), the Latin-1 letters and signs
// U+00A0-U+00FF (same byte in code page 1252), and the 27 characters that
// code page 1252 places at 0x80-0x9F (euro sign, typographic quotes, dashes,
// bullet, ellipsis, ...). Everything else is refused: control characters
// (tab included), other Unicode characters, and malformed UTF-8 such as a
// file saved in a legacy code page. On success `out` holds the ANSI bytes;
// on failure `error` says which character at which column was refused.
bool Utf8ToAnsi(std::string_view utf8, std::string& out, std::string& error);
