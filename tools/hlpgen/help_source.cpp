#include "help_source.h"

#include "ansi_text.h"
#include "hlp_format.h"

#include <cstdlib>
#include <set>

namespace {

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

// Splits off the first blank-separated word of `rest`.
std::string_view TakeWord(std::string_view& rest)
{
    rest = TrimBlanks(rest);
    const size_t end = rest.find(' ');
    const std::string_view word = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : TrimBlanks(rest.substr(end));
    return word;
}

bool ParseContextNumber(std::string_view word, int32_t& value)
{
    if (word.empty() || word.size() > 10)
        return false;
    int64_t v = 0;
    for (char c : word) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    if (v < 1 || v > INT32_MAX)
        return false;
    value = static_cast<int32_t>(v);
    return true;
}

bool IsContextName(std::string_view name)
{
    if (name.empty() || name.size() > MaxContextNameLength)
        return false;
    for (char c : name)
        if (hlp::ContextCharValue(c) < 0)
            return false;
    return true;
}

std::string UpperCase(std::string_view s)
{
    std::string u(s);
    for (char& c : u)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return u;
}

class SourceParser {
public:
    explicit SourceParser(HelpDocument& doc) : doc_(doc) {}

    bool Line(std::string_view raw, std::string& error);
    bool Finish(std::string& error);

private:
    bool Directive(std::string_view line, std::string& error);
    bool Title(std::string_view rest, std::string& error);
    bool Topic(std::string_view rest, std::string& error);
    bool Text(std::string_view line, std::string& error);
    bool CloseTopic(std::string& error);

    HelpDocument& doc_;
    bool inParagraph_ = false; // the last output line may be continued
    std::set<int32_t> contexts_;
    std::set<std::string> names_;   // upper case: the hash ignores case
    std::set<uint32_t> hashes_;
};

bool SourceParser::Line(std::string_view raw, std::string& error)
{
    if (!raw.empty() && raw.front() == '#')
        return true;
    std::string line;
    if (!Utf8ToAnsi(raw, line, error))
        return false;
    if (!line.empty() && line.front() == '.')
        return Directive(line, error);
    return Text(line, error);
}

bool SourceParser::Directive(std::string_view line, std::string& error)
{
    std::string_view rest = line;
    const std::string_view word = TakeWord(rest);
    if (word == ".title")
        return Title(rest, error);
    if (word == ".topic")
        return Topic(rest, error);
    error = "unknown directive \"" + std::string(word) + "\" (known: .title, .topic)";
    return false;
}

bool SourceParser::Title(std::string_view rest, std::string& error)
{
    if (!doc_.title.empty() || !doc_.topics.empty()) {
        error = ".title must come once, before the first .topic";
        return false;
    }
    if (rest.empty() || rest.size() > MaxTitleLength) {
        error = ".title needs a text of 1 to " + std::to_string(MaxTitleLength) + " characters";
        return false;
    }
    doc_.title = rest;
    return true;
}

bool SourceParser::Topic(std::string_view rest, std::string& error)
{
    if (!CloseTopic(error))
        return false;
    HelpTopic topic;
    const std::string_view number = TakeWord(rest);
    const std::string_view name = TakeWord(rest);
    if (!ParseContextNumber(number, topic.context)) {
        error = ".topic needs a context number from 1 to 2147483647, not \"" + std::string(number) + "\"";
        return false;
    }
    if (!IsContextName(name)) {
        error = ".topic needs a context name of 1 to " + std::to_string(MaxContextNameLength) +
                " letters, digits, '.' or '_', not \"" + std::string(name) + "\"";
        return false;
    }
    if (rest.empty() || rest.size() > MaxTitleLength) {
        error = ".topic needs a title of 1 to " + std::to_string(MaxTitleLength) + " characters";
        return false;
    }
    if (!contexts_.insert(topic.context).second) {
        error = "context number " + std::to_string(topic.context) + " is used twice";
        return false;
    }
    if (!names_.insert(UpperCase(name)).second) {
        error = "context name \"" + std::string(name) + "\" is used twice (names ignore case)";
        return false;
    }
    if (!hashes_.insert(hlp::ContextHash(name)).second) {
        error = "context name \"" + std::string(name) + "\" has the same hash as an earlier one; rename it";
        return false;
    }
    topic.name = name;
    topic.title = rest;
    doc_.topics.push_back(std::move(topic));
    inParagraph_ = false;
    return true;
}

bool SourceParser::Text(std::string_view line, std::string& error)
{
    const std::string_view text = TrimBlanks(line);
    if (text.empty()) {
        inParagraph_ = false;
        return true;
    }
    if (doc_.topics.empty()) {
        error = "text before the first .topic";
        return false;
    }
    std::vector<std::string>& lines = doc_.topics.back().lines;
    const bool listItem = text.size() >= 2 && text[0] == '-' && text[1] == ' ';
    if (inParagraph_ && !listItem) {
        lines.back() += ' ';
        lines.back() += text;
        return true;
    }
    if (!inParagraph_ && !lines.empty())
        lines.emplace_back(); // blank line between paragraphs
    lines.emplace_back(text);
    inParagraph_ = true;
    return true;
}

bool SourceParser::CloseTopic(std::string& error)
{
    if (!doc_.topics.empty() && doc_.topics.back().lines.empty()) {
        error = "topic " + std::to_string(doc_.topics.back().context) + " has no text";
        return false;
    }
    return true;
}

bool SourceParser::Finish(std::string& error)
{
    if (doc_.title.empty()) {
        error = "no .title line";
        return false;
    }
    if (doc_.topics.empty()) {
        error = "no .topic";
        return false;
    }
    return CloseTopic(error);
}

} // namespace

bool ParseHelpSource(std::string_view source, HelpDocument& doc, std::string& error)
{
    doc = HelpDocument();
    constexpr std::string_view Bom = "\xEF\xBB\xBF";
    if (source.substr(0, Bom.size()) == Bom)
        source.remove_prefix(Bom.size());

    SourceParser parser(doc);
    size_t lineNumber = 0;
    while (!source.empty()) {
        ++lineNumber;
        const size_t end = source.find('\n');
        std::string_view line = source.substr(0, end);
        source = end == std::string_view::npos ? std::string_view() : source.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        std::string lineError;
        if (!parser.Line(line, lineError)) {
            error = "line " + std::to_string(lineNumber) + ": " + lineError;
            return false;
        }
    }
    return parser.Finish(error);
}
