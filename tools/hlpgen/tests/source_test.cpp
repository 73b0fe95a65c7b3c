// The help source's parser and its character conversion.
#include "ansi_text.h"
#include "help_source.h"
#include "hlp_format.h"

#include <gtest/gtest.h>

namespace {

std::string Ansi(std::string_view utf8)
{
    std::string out, error;
    EXPECT_TRUE(Utf8ToAnsi(utf8, out, error)) << error;
    return out;
}

std::string AnsiError(std::string_view utf8)
{
    std::string out, error;
    EXPECT_FALSE(Utf8ToAnsi(utf8, out, error)) << "accepted: " << utf8;
    return error;
}

TEST(AnsiText, AcceptsAsciiLatin1AndCodePage1252Extras)
{
    EXPECT_EQ(Ansi(" ~Az09"), " ~Az09");
    EXPECT_EQ(Ansi("\xC2\xA0"), "\xA0");          // U+00A0, first of Latin-1
    EXPECT_EQ(Ansi("caf\xC3\xA9"), "caf\xE9");    // e acute
    EXPECT_EQ(Ansi("\xC3\xBF"), "\xFF");          // U+00FF, last of Latin-1
    EXPECT_EQ(Ansi("\xE2\x82\xAC"), "\x80");      // euro sign
    EXPECT_EQ(Ansi("\xE2\x80\xA2"), "\x95");      // bullet
    EXPECT_EQ(Ansi("\xC5\xB8"), "\x9F");          // Y diaeresis, last extra
    EXPECT_EQ(Ansi(""), "");
}

TEST(AnsiText, RefusesWhatCodePage1252CannotHold)
{
    EXPECT_NE(AnsiError("a\tb").find("column 2: character U+0009"), std::string::npos);
    EXPECT_NE(AnsiError("\x7F").find("U+007F"), std::string::npos);        // DEL
    EXPECT_NE(AnsiError("\xC2\x81").find("U+0081"), std::string::npos);    // C1 control
    EXPECT_NE(AnsiError("\xC4\x80").find("U+0100"), std::string::npos);    // first past Latin-1
    EXPECT_NE(AnsiError("\xF0\x9F\x98\x80").find("U+1F600"), std::string::npos);
}

TEST(AnsiText, RefusesMalformedUtf8)
{
    for (const char* bad : {"caf\xE9", "\xC3", "\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80"})
        EXPECT_NE(AnsiError(bad).find("malformed UTF-8"), std::string::npos) << bad;
    EXPECT_NE(AnsiError("ab\xFF").find("column 3"), std::string::npos);
}

TEST(ContextHash, MatchesKnownValues)
{
    EXPECT_EQ(hlp::ContextHash("IDH_OVERVIEW"), 0xDA4D44A1u);
    EXPECT_EQ(hlp::ContextHash("IDH_DETAILS"), 0x7E0465C6u);
    EXPECT_EQ(hlp::ContextHash("IDH_MORE"), 0x760881FDu);
    EXPECT_EQ(hlp::ContextHash("foobar"), 0xC73D0E4Du);
    EXPECT_EQ(hlp::ContextHash("FooBar"), 0xC73D0E4Du);
    EXPECT_EQ(hlp::ContextHash(""), 1u);
}

HelpDocument Parse(std::string_view source)
{
    HelpDocument doc;
    std::string error;
    EXPECT_TRUE(ParseHelpSource(source, doc, error)) << error;
    return doc;
}

std::string ParseError(std::string_view source)
{
    HelpDocument doc;
    std::string error;
    EXPECT_FALSE(ParseHelpSource(source, doc, error)) << "accepted:\n" << source;
    return error;
}

TEST(HelpSource, JoinsParagraphsAndSplitsListItems)
{
    const HelpDocument doc = Parse("\xEF\xBB\xBF# comment\r\n"
                                   ".title  My Help \r\n"
                                   "\n"
                                   ".topic 7 IDH_A.b_1 First  topic\n"
                                   "One\n"
                                   "  two  \n"
                                   "\n"
                                   "   \n"
                                   "- item\n"
                                   "  more\n"
                                   "- next\n"
                                   "# not text\n"
                                   "-not an item\n"
                                   ".topic 2147483647 Z Caf\xC3\xA9\n"
                                   "Last");
    EXPECT_EQ(doc.title, "My Help");
    ASSERT_EQ(doc.topics.size(), 2u);
    EXPECT_EQ(doc.topics[0].context, 7);
    EXPECT_EQ(doc.topics[0].name, "IDH_A.b_1");
    EXPECT_EQ(doc.topics[0].title, "First  topic");
    EXPECT_EQ(doc.topics[0].lines, (std::vector<std::string>{"One two", "", "- item more", "- next -not an item"}));
    EXPECT_EQ(doc.topics[1].context, 2147483647);
    EXPECT_EQ(doc.topics[1].title, "Caf\xE9");
    EXPECT_EQ(doc.topics[1].lines, std::vector<std::string>{"Last"});
}

TEST(HelpSource, RefusesDuplicateContexts)
{
    EXPECT_EQ(ParseError(".title T\n.topic 1 A t\nx\n.topic 1 B t\ny\n"), "line 4: context number 1 is used twice");
    EXPECT_EQ(ParseError(".title T\n.topic 1 Abc t\nx\n.topic 2 aBC t\ny\n"),
              "line 4: context name \"aBC\" is used twice (names ignore case)");
}

TEST(HelpSource, ChecksContextNumbersNamesAndTitleLengths)
{
    for (const char* number : {"0", "-1", "2147483648", "1a", "99999999999"})
        EXPECT_NE(ParseError(std::string(".title T\n.topic ") + number + " A t\nx\n").find("line 2: .topic needs a context number"),
                  std::string::npos) << number;
    for (const std::string& name : std::vector<std::string>{"IDH-X", "IDH#", "\xC3\xA9", std::string(65, 'a')})
        EXPECT_NE(ParseError(".title T\n.topic 1 " + name + " t\nx\n").find(".topic needs a context name"),
                  std::string::npos) << name;
    Parse(".title T\n.topic 1 " + std::string(64, 'a') + " t\nx\n");
    EXPECT_NE(ParseError(".title T\n.topic 1 A\nx\n").find(".topic needs a title"), std::string::npos);

    const std::string longest(MaxTitleLength, 't');
    EXPECT_EQ(Parse(".title " + longest + "\n.topic 1 A " + longest + "\nx\n").topics[0].title, longest);
    EXPECT_NE(ParseError(".title " + longest + "t\n.topic 1 A t\nx\n").find(".title needs a text"), std::string::npos);
    EXPECT_NE(ParseError(".title T\n.topic 1 A " + longest + "t\nx\n").find(".topic needs a title"), std::string::npos);
}

TEST(HelpSource, RefusesBadStructure)
{
    EXPECT_EQ(ParseError(".topic 1 A t\nx\n"), "no .title line");
    EXPECT_EQ(ParseError(".title T\nstray\n.topic 1 A t\nx\n"), "line 2: text before the first .topic");
    EXPECT_EQ(ParseError(".title T\n.topic 1 A t\nx\n.title U\n"), "line 4: .title must come once, before the first .topic");
    EXPECT_EQ(ParseError(".title T\n.topic 1 A t\n\n.topic 2 B u\nx\n"), "line 4: topic 1 has no text");
    EXPECT_EQ(ParseError(".title T\n.topic 1 A t\nx\n.topic 2 B u\n"), "topic 2 has no text");
    EXPECT_EQ(ParseError(".title T\n"), "no .topic");
    EXPECT_EQ(ParseError(".title T\n.topic 1 A t\n...and more\n"),
              "line 3: unknown directive \"...and\" (known: .title, .topic)");
    EXPECT_EQ(ParseError(".title T\n.topic 1 A t\nsmart \xE2\x80\x94 \xE2\x86\x92\n"),
              "line 3: column 9: character U+2192 has no single-byte ANSI (code page 1252) form");
}

} // namespace
