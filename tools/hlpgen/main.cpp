// hlpgen: turns the readable help source into ostrivel.hlp.
//
//   hlpgen <source.txt> <output.hlp>
//
// The file is built in memory, read back and checked against the source,
// and only then written (through a temporary file renamed into place). On
// any refusal the output file is removed, so a failed build never leaves a
// help file behind - stale or half written - that a viewer might choke on.
#include "help_source.h"
#include "hlp_format.h"
#include "hlp_reader.h"
#include "hlp_writer.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

constexpr size_t MaxSourceSize = 64 * 1024;

bool ReadSource(const char* path, std::string& text, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open the source";
        return false;
    }
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    if (text.size() > MaxSourceSize) {
        error = "the source is larger than " + std::to_string(MaxSourceSize) + " bytes";
        return false;
    }
    return true;
}

// The generation date: the source's modification time, so the same source
// gives the same file, and a changed source a new date.
uint32_t SourceDate(const char* path)
{
    struct stat st {};
    if (stat(path, &st) != 0 || st.st_mtime < 0)
        return 0;
    return static_cast<uint32_t>(st.st_mtime);
}

// The lines a topic's text holds: the heading, a blank line, the source's.
bool TextMatches(const HelpFileTopic& read, const HelpTopic& source)
{
    std::vector<std::string> lines = {source.title, ""};
    lines.insert(lines.end(), source.lines.begin(), source.lines.end());
    std::vector<int> fonts(lines.size(), BodyFont);
    fonts[0] = HeadingFont;
    return read.title == source.title && read.lines == lines && read.fonts == fonts;
}

// Checks that the file read back says what the source says.
bool MatchesSource(const HelpFileView& view, const HelpDocument& doc, std::string& error)
{
    if (view.title != doc.title || view.topics.size() != doc.topics.size()) {
        error = "read back: title or topic count differs";
        return false;
    }
    for (size_t i = 0; i < doc.topics.size(); ++i) {
        const HelpTopic& t = doc.topics[i];
        const HelpFileTopic* byNumber = nullptr;
        for (const auto& [id, offset] : view.contextMap)
            if (id == t.context)
                byNumber = view.TopicAt(offset);
        const HelpFileTopic* byName = nullptr;
        for (const auto& [hash, offset] : view.contexts)
            if (static_cast<uint32_t>(hash) == hlp::ContextHash(t.name))
                byName = view.TopicAt(offset);
        if (byNumber != &view.topics[i] || byName != &view.topics[i] || !TextMatches(*byNumber, t)) {
            error = "read back: topic " + std::to_string(t.context) + " differs from the source";
            return false;
        }
    }
    return true;
}

bool Generate(const char* sourcePath, Bytes& file, std::string& error)
{
    std::string text;
    HelpDocument doc;
    HelpFileView view;
    if (!ReadSource(sourcePath, text, error) || !ParseHelpSource(text, doc, error) ||
        !BuildHelpFile(doc, SourceDate(sourcePath), file, error))
        return false;
    if (!ReadHelpFile(file, view, error)) {
        error = "internal error, the written file does not read back: " + error;
        return false;
    }
    return MatchesSource(view, doc, error);
}

bool WriteOutput(const std::string& path, const Bytes& file)
{
    const std::string temp = path + ".tmp";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    if (std::fclose(f) != 0 || !written || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: hlpgen <source.txt> <output.hlp>\n");
        return 2;
    }
    Bytes file;
    std::string error;
    if (!Generate(argv[1], file, error)) {
        std::remove(argv[2]);
        std::fprintf(stderr, "hlpgen: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    if (!WriteOutput(argv[2], file)) {
        std::remove(argv[2]);
        std::fprintf(stderr, "hlpgen: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
