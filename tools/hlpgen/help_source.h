// The readable help source and its parser.
//
// Source format (UTF-8 or ASCII text, LF or CR LF line ends):
//
//   # a comment: the whole line is ignored
//   .title Ostrivel Help
//   .topic 1 IDH_MAIN_WINDOW The Ostrivel window
//   A paragraph may span several source lines; they are joined
//   with single blanks. A blank line ends the paragraph.
//
//   - A line that starts with "- " begins a new line of its own,
//     for lists; indented lines below it continue it.
//
// ".title" names the whole help file (the help window's caption) and comes
// once, before the first topic. Each ".topic" gives the number a program
// passes with HELP_CONTEXT (1 to 2147483647), a context name made of
// letters, digits, '.' and '_' (for jumps by name), and the topic's title.
// The first topic is the contents topic. Any other line that starts with
// '.' is refused as an unknown directive. Characters are limited to what
// Utf8ToAnsi accepts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct HelpTopic {
    int32_t context = 0;            // HELP_CONTEXT number
    std::string name;               // context name, [A-Za-z0-9._]
    std::string title;              // ANSI
    std::vector<std::string> lines; // ANSI; "" is the blank line between paragraphs
};

struct HelpDocument {
    std::string title; // ANSI
    std::vector<HelpTopic> topics;
};

// Longest help title, topic title and context name accepted.
inline constexpr size_t MaxTitleLength = 127;
inline constexpr size_t MaxContextNameLength = 64;

// Parses a whole source text. On failure `error` reads "line N: ...".
bool ParseHelpSource(std::string_view source, HelpDocument& doc, std::string& error);
