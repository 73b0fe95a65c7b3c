// The help file writer and the reader that checks what it wrote.
#include "help_source.h"
#include "hlp_format.h"
#include "hlp_reader.h"
#include "hlp_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

HelpDocument ThreeTopics()
{
    HelpDocument doc;
    doc.title = "Sample";
    doc.topics = {
        {30, "IDH_OVERVIEW", "Overview", {"This is topic one.", "Second line of topic one."}},
        {10, "IDH_DETAILS", "Details", {"This is topic two."}},
        {20, "IDH_MORE", "More", {"Three."}},
    };
    return doc;
}

Bytes Build(const HelpDocument& doc)
{
    Bytes file;
    std::string error;
    EXPECT_TRUE(BuildHelpFile(doc, 0x12345678, file, error)) << error;
    return file;
}

HelpFileView Read(const Bytes& file)
{
    HelpFileView view;
    std::string error;
    EXPECT_TRUE(ReadHelpFile(file, view, error)) << error;
    return view;
}

const HelpFileEntry& Entry(const HelpFileView& view, const std::string& name)
{
    for (const HelpFileEntry& e : view.directory)
        if (e.name == name)
            return e;
    throw std::runtime_error("no " + name);
}

TEST(HelpFile, LaysOutHeaderDirectoryAndFiles)
{
    const Bytes file = Build(ThreeTopics());
    const HelpFileView view = Read(file);
    EXPECT_EQ(GetU32(&file[0]), 0x00035F3Fu);
    EXPECT_EQ(GetU32(&file[12]), file.size());

    std::vector<std::string> names;
    for (const HelpFileEntry& e : view.directory) {
        names.push_back(e.name);
        EXPECT_EQ(e.reserved, e.used + 9) << e.name;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"|CONTEXT", "|CTXOMAP", "|FONT", "|SYSTEM", "|TOPIC", "|TTLBTREE"}));
    // |TOPIC first (a viewer reads a whole block from it), the directory last.
    EXPECT_EQ(Entry(view, "|TOPIC").offset, 16u);
    EXPECT_EQ(GetU32(&file[4]) + 9 + 38 + 1024, file.size());
    EXPECT_EQ(view.genDate, 0x12345678u);
    EXPECT_EQ(view.title, "Sample");
    EXPECT_EQ(view.fontCount, 2);
}

TEST(HelpFile, TopicOffsetsCountTheTextOfEarlierTopics)
{
    const HelpFileView view = Read(Build(ThreeTopics()));
    ASSERT_EQ(view.topics.size(), 3u);
    // Text of topic 1: "" "Overview" "" "" and its two lines, each with a NUL, then "".
    EXPECT_EQ(view.topics[0].offset, 0u);
    EXPECT_EQ(view.topics[1].offset, 1u + 9 + 1 + 1 + 19 + 26 + 1);
    EXPECT_EQ(view.topics[2].offset, 58u + 1 + 8 + 1 + 1 + 19 + 1);
    EXPECT_EQ(view.contentsOffset, 0u);
    EXPECT_EQ(view.topics[0].lines,
              (std::vector<std::string>{"Overview", "", "This is topic one.", "Second line of topic one."}));
    EXPECT_EQ(view.topics[0].fonts, (std::vector<int>{HeadingFont, BodyFont, BodyFont, BodyFont}));
}

TEST(HelpFile, MapsNumbersAscendingAndHashesInSignedOrder)
{
    const HelpFileView view = Read(Build(ThreeTopics()));
    const uint32_t overview = view.topics[0].offset, details = view.topics[1].offset, more = view.topics[2].offset;
    EXPECT_EQ(view.contextMap, (std::vector<std::pair<int32_t, uint32_t>>{{10, details}, {20, more}, {30, overview}}));
    // IDH_OVERVIEW's hash is negative as a signed number, so it comes first.
    EXPECT_EQ(view.contexts, (std::vector<std::pair<int32_t, uint32_t>>{{static_cast<int32_t>(0xDA4D44A1), overview},
                                                                        {0x760881FD, more},
                                                                        {0x7E0465C6, details}}));
    EXPECT_EQ(view.titles,
              (std::vector<std::pair<uint32_t, std::string>>{{overview, "Overview"}, {details, "Details"}, {more, "More"}}));
}

uint32_t Payload(const HelpFileView& v, const char* name) { return Entry(v, name).offset + 9; }

// The overview's text runs on into block 1, where the details start; the
// third topic's runs through block 2 (no record starts there) into block 3.
TEST(HelpFile, SpreadsTopicsOverAsManyBlocksAsTheyNeed)
{
    HelpDocument doc = ThreeTopics();
    doc.topics[0].lines = std::vector<std::string>(50, std::string(99, 'a'));
    doc.topics[2].lines = std::vector<std::string>(90, std::string(99, 'c'));
    doc.topics.push_back({40, "IDH_LAST", "Last", {"The last words."}});
    const Bytes file = Build(doc);
    const HelpFileView v = Read(file);
    ASSERT_EQ(v.topicBlocks, 4);
    EXPECT_EQ(v.topics[2].lines.back(), doc.topics[2].lines.back());
    // A TOPICOFFSET counts the text from the start of its header's block.
    EXPECT_EQ(v.contextMap, (std::vector<std::pair<int32_t, uint32_t>>{
                                {10, 0x8000}, {20, 0x8000 + 31}, {30, 0}, {40, 0x18000}}));
    const uint32_t t0 = v.topics[0].pos, t1 = v.topics[1].pos, t2 = v.topics[2].pos, t3 = v.topics[3].pos;
    std::vector<uint32_t> headers; // LastTopicLink, FirstTopicLink, LastTopicHeader of each block
    for (size_t at = 0; at < 4 * 4096; at += 4)
        if (at % 4096 < 12)
            headers.push_back(GetU32(&file[Payload(v, "|TOPIC") + at]));
    const uint32_t none = 0xFFFFFFFF, text0 = t0 + 21 + 28 + 8, text2 = t2 + 21 + 28 + 4;
    EXPECT_EQ(headers, (std::vector<uint32_t>{none, 12, 0, text0, t1, t0, text2, none, t2, text2, t3, t2}));
}

// The overview's text ends `left` bytes before block 0 ends; the details'
// header and LinkData1 take 49.
HelpDocument LeavingInBlockZero(size_t left)
{
    HelpDocument doc = ThreeTopics();
    doc.topics[0].lines = {std::string(1000, 'a')};
    doc.topics[0].lines[0].append(4096 - left - Read(Build(doc)).topics[1].pos, 'b');
    return doc;
}

TEST(HelpFile, StartsTheNextBlockWithARecordHeaderThatDoesNotFit)
{
    EXPECT_EQ(Read(Build(LeavingInBlockZero(49))).topics[1].pos, 4096u - 49);
    const HelpFileView v = Read(Build(LeavingInBlockZero(48)));
    EXPECT_EQ(std::pair(v.topics[1].pos, v.topics[1].offset), std::pair(0x4000u + 12, 0x8000u));
}

// Each case damages a good file in one place; the reader must refuse it.
struct Damage {
    const char* what;
    std::function<void(Bytes&, const HelpFileView&)> apply;
    const char* message;
};

size_t FindBytes(const Bytes& file, size_t from, std::initializer_list<uint8_t> bytes)
{
    return std::search(file.begin() + from, file.end(), bytes.begin(), bytes.end()) - file.begin();
}

const std::vector<Damage> Damages = {
    {"magic", [](Bytes& f, const HelpFileView&) { f[0] ^= 1; }, "bad magic"},
    {"truncated", [](Bytes& f, const HelpFileView&) { f.pop_back(); }, "file size differs"},
    {"reserved", [](Bytes& f, const HelpFileView& v) { PatchU32(f, Entry(v, "|SYSTEM").offset, Entry(v, "|SYSTEM").used + 8); },
     "reserved space smaller than used space + 9"},
    {"overlap", [](Bytes& f, const HelpFileView& v) { PatchU32(f, Entry(v, "|SYSTEM").offset, Entry(v, "|SYSTEM").used + 10); },
     "internal files overlap"},
    {"directory order", [](Bytes& f, const HelpFileView&) { f[GetU32(&f[4]) + 9 + 38 + 8 + 1] = 'Z'; },
     "directory: names not in byte-wise order"},
    {"missing file", [](Bytes& f, const HelpFileView&) { f[FindBytes(f, GetU32(&f[4]), {'|', 'C', 'T', 'X'}) + 7] = 'Q'; },
     "|CTXOMAP missing from the directory"},
    {"hash order",
     [](Bytes& f, const HelpFileView& v) {
         const auto leaf = f.begin() + Payload(v, "|CONTEXT") + 38 + 8;
         std::swap_ranges(leaf, leaf + 8, leaf + 8);
     },
     "|CONTEXT: hashes not in ascending signed order"},
    {"leaf unused low", [](Bytes& f, const HelpFileView& v) { --f[Payload(v, "|CONTEXT") + 38]; },
     "|CONTEXT: unused count does not match the entries"},
    {"leaf unused high", [](Bytes& f, const HelpFileView& v) { ++f[Payload(v, "|CONTEXT") + 38]; },
     "|CONTEXT leaf: ends early"},
    {"map target", [](Bytes& f, const HelpFileView& v) { ++f[Payload(v, "|CTXOMAP") + 2 + 4]; },
     "|CTXOMAP: offset 59 is not a topic start"},
    {"title tree", [](Bytes& f, const HelpFileView& v) { f[Payload(v, "|TTLBTREE") + 38 + 8 + 4] = 'o'; },
     "|TTLBTREE: title differs from the topic's"},
    {"next block", [](Bytes& f, const HelpFileView& v) { ++f[Payload(v, "|TOPIC") + 12 + 12]; },
     "NextBlock does not point at the following record"},
    {"font number", [](Bytes& f, const HelpFileView& v) { f[FindBytes(f, Payload(v, "|TOPIC"), {0x80, 0x01, 0x00}) + 1] = 2; },
     "|TOPIC: font number out of range"},
    {"no face", [](Bytes& f, const HelpFileView& v) { f[Payload(v, "|FONT")] = 0; }, "|FONT: no face name"},
    {"compression", [](Bytes& f, const HelpFileView& v) { f[Payload(v, "|SYSTEM") + 10] = 4; },
     "|SYSTEM: flags ask for compression"},
};

// Damages to a file whose second topic starts block 1 after zero padding.
const std::vector<Damage> BlockDamages = {
    {"padding", [](Bytes& f, const HelpFileView& v) { f[Payload(v, "|TOPIC") + 4095] = ' '; },
     "NextBlock does not point at the following record"},
    {"first link", [](Bytes& f, const HelpFileView& v) { f[Payload(v, "|TOPIC") + 4096 + 4] = 13; },
     "the header of block 1 does not match its records"},
    {"pos in header gap", [](Bytes& f, const HelpFileView& v) { PatchU32(f, Payload(v, "|TOPIC") + 24, 4096 + 5); },
     "TOPICPOS 4101 is outside the topic data"},
};

void ExpectRefusals(const HelpDocument& doc, const std::vector<Damage>& damages)
{
    const Bytes good = Build(doc);
    const HelpFileView view = Read(good);
    for (const Damage& d : damages) {
        Bytes file = good;
        d.apply(file, view);
        HelpFileView damaged;
        std::string error;
        EXPECT_FALSE(ReadHelpFile(file, damaged, error)) << d.what;
        EXPECT_NE(error.find(d.message), std::string::npos) << d.what << ": " << error;
    }
}

TEST(HelpFile, ReaderRefusesDamagedFiles)
{
    ExpectRefusals(ThreeTopics(), Damages);
    ExpectRefusals(LeavingInBlockZero(48), BlockDamages);
}

} // namespace
