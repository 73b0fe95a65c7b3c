// The help file the build ships, read back and held against its source, and
// the generator's refusals as the build sees them (exit code, message, no
// output file left).
#include "help_source.h"
#include "hlp_format.h"
#include "hlp_reader.h"
#include "hlp_writer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

const HelpFileTopic* TopicForContext(const HelpFileView& view, int32_t context)
{
    for (const auto& [id, offset] : view.contextMap)
        if (id == context)
            return view.TopicAt(offset);
    return nullptr;
}

std::string Text(const HelpFileTopic& topic)
{
    std::string all;
    for (const std::string& line : topic.lines)
        all += line + "\n";
    return all;
}

class ShippedHelpFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string bytes = ReadText(HLPGEN_TEST_HELP_FILE);
        ASSERT_FALSE(bytes.empty()) << HLPGEN_TEST_HELP_FILE;
        std::string error;
        ASSERT_TRUE(ReadHelpFile(Bytes(bytes.begin(), bytes.end()), view, error)) << error;
        ASSERT_TRUE(ParseHelpSource(ReadText(HLPGEN_TEST_SOURCE), source, error)) << error;
    }

    HelpFileView view;
    HelpDocument source;
};

TEST_F(ShippedHelpFile, OpensTheMainWindowAndSetupTopics)
{
    EXPECT_EQ(view.title, "Ostrivel Help");
    const HelpFileTopic* main = TopicForContext(view, 1);
    const HelpFileTopic* setup = TopicForContext(view, 2);
    ASSERT_TRUE(main && setup);
    EXPECT_EQ(main->title, "The Ostrivel window");
    EXPECT_EQ(setup->title, "The Setup dialog");
    EXPECT_EQ(view.contentsOffset, main->offset);
    EXPECT_GE(view.topicBlocks, 2); // the help window test reads the second block's text
}

TEST_F(ShippedHelpFile, HoldsEveryTopicOfTheSourceUnderItsNumberAndName)
{
    ASSERT_EQ(view.topics.size(), source.topics.size());
    EXPECT_EQ(view.contextMap.size(), source.topics.size());
    EXPECT_EQ(view.contexts.size(), source.topics.size());
    for (const HelpTopic& t : source.topics) {
        const HelpFileTopic* read = TopicForContext(view, t.context);
        ASSERT_NE(read, nullptr) << t.context;
        EXPECT_EQ(read->title, t.title);
        ASSERT_EQ(read->lines.size(), t.lines.size() + 2);
        EXPECT_EQ(read->lines[0], t.title);
        EXPECT_EQ(read->lines[1], "");
        EXPECT_TRUE(std::equal(t.lines.begin(), t.lines.end(), read->lines.begin() + 2)) << t.context;
        const auto byName = std::find_if(view.contexts.begin(), view.contexts.end(), [&](const auto& c) {
            return static_cast<uint32_t>(c.first) == hlp::ContextHash(t.name);
        });
        ASSERT_NE(byName, view.contexts.end()) << t.name;
        EXPECT_EQ(byName->second, read->offset) << t.name;
    }
}

TEST_F(ShippedHelpFile, StatesWhatTheProgramDoes)
{
    const std::string main = Text(*TopicForContext(view, 1));
    const std::string setup = Text(*TopicForContext(view, 2));
    for (const char* fact : {"Alert: a S.M.A.R.T. attribute's current value is at or below its non-zero threshold",
                             "N/A: SMART could not be enabled", "Hard Disk Information", "S.M.A.R.T. Information",
                             "(\"Yes\" when the drive reports a total sector count)", "Ctrl+Alt+F12",
                             "notification area", "Minimizing hides the window"})
        EXPECT_NE(main.find(fact), std::string::npos) << fact;
    for (const char* fact : {"-1 switches refreshing off", "starts Ostrivel hidden", "Email Address", "SMTP Server",
                             "Click on the icon in the Tray Area", "Press Ctrl Alt F12",
                             "Run Ostrivel (minimized) when you log on", "ostrivel.mon beside ostrivel.ini"})
        EXPECT_NE(setup.find(fact), std::string::npos) << fact;
}

class Generator : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }

    // Runs the generator; returns its exit code and leaves its messages in `err`.
    int RunGenerator(const std::string& args, std::string& err)
    {
        const std::string errFile = dir + "stderr.txt";
        const int status = std::system((std::string("\"") + HLPGEN_EXE + "\" " + args + " 2>\"" + errFile + "\"").c_str());
        err = ReadText(errFile);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string Source(const std::string& text)
    {
        std::ofstream(dir + "help.txt", std::ios::binary) << text;
        return dir + "help.txt";
    }

    // Runs it on `text` over an existing output file; returns the message.
    std::string Refusal(const std::string& text)
    {
        std::ofstream(out) << "old";
        std::string err;
        EXPECT_EQ(RunGenerator("\"" + Source(text) + "\" \"" + out + "\"", err), 1);
        EXPECT_FALSE(fs::exists(out)) << "output left behind";
        EXPECT_FALSE(fs::exists(out + ".tmp"));
        return err;
    }

    std::string dir = ::testing::TempDir() + "hlpgen_" + std::to_string(getpid()) + "/";
    std::string out = dir + "out.hlp";
};

TEST_F(Generator, WritesAFileThatReadsBackDatedBySource)
{
    const std::string source = Source(".title T\n.topic 1 A First\nOne.\n");
    std::string err;
    ASSERT_EQ(RunGenerator("\"" + source + "\" \"" + out + "\"", err), 0) << err;
    const std::string bytes = ReadText(out);
    HelpFileView view;
    ASSERT_TRUE(ReadHelpFile(Bytes(bytes.begin(), bytes.end()), view, err)) << err;
    struct stat st {};
    ASSERT_EQ(stat(source.c_str(), &st), 0);
    EXPECT_EQ(view.genDate, static_cast<uint32_t>(st.st_mtime));
    EXPECT_FALSE(fs::exists(out + ".tmp"));
}

TEST_F(Generator, RefusesSourcesItCannotEncode)
{
    const std::string head = ".title T\n.topic 1 A First\n";
    EXPECT_NE(Refusal(head + "x\n.topic 1 B Second\ny\n").find("help.txt: line 4: context number 1 is used twice"),
              std::string::npos);
    std::string lines;
    for (int i = 0; i < 4070; ++i)
        lines += "- x\n";
    EXPECT_NE(Refusal(head + lines).find("\"First\" has 4110 bytes of record header and formatting"), std::string::npos);
    EXPECT_NE(Refusal(head + "\xE2\x86\x92\n").find("line 3: column 1: character U+2192 has no single-byte ANSI"),
              std::string::npos);
    EXPECT_NE(Refusal(head + "caf\xE9\n").find("malformed UTF-8"), std::string::npos);
    EXPECT_NE(Refusal(std::string(65537, '#') + "\n" + head + "x\n").find("larger than 65536 bytes"),
              std::string::npos);
}

TEST_F(Generator, ReportsUsageAndIoFailures)
{
    std::string err;
    EXPECT_EQ(RunGenerator("", err), 2);
    EXPECT_NE(err.find("usage: hlpgen"), std::string::npos);
    EXPECT_EQ(RunGenerator("\"" + dir + "missing.txt\" \"" + out + "\"", err), 1);
    EXPECT_NE(err.find("cannot open the source"), std::string::npos);
    EXPECT_EQ(RunGenerator("\"" + Source(".title T\n.topic 1 A t\nx\n") + "\" \"" + dir + "no/such/dir.hlp\"", err), 1);
    EXPECT_NE(err.find("cannot write"), std::string::npos);
}

} // namespace
