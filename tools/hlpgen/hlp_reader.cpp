#include "hlp_reader.h"

#include "hlp_format.h"

#include <algorithm>
#include <cstring>
#include <functional>

using namespace hlp;

namespace {

struct FormatError {
    std::string what;
};

void Require(bool condition, const std::string& what)
{
    if (!condition)
        throw FormatError{what};
}

constexpr uint32_t None = 0xFFFFFFFF;

// A bounds-checked reader over one part of the file.
class Cursor {
public:
    Cursor(const uint8_t* data, size_t size, std::string where) : data_(data), size_(size), where_(std::move(where)) {}

    size_t At() const { return at_; }
    size_t Left() const { return size_ - at_; }
    const uint8_t* Here() const { return data_ + at_; }
    void Need(size_t n) const { Require(Left() >= n, where_ + ": ends early"); }
    void Skip(size_t n) { Need(n), at_ += n; }
    uint8_t U8() { Need(1); return data_[at_++]; }
    uint16_t U16() { Need(2); at_ += 2; return GetU16(data_ + at_ - 2); }
    uint32_t U32() { Need(4); at_ += 4; return GetU32(data_ + at_ - 4); }

    // A NUL-terminated string that must end inside this part.
    std::string String()
    {
        const void* nul = std::memchr(Here(), 0, Left());
        Require(nul != nullptr, where_ + ": string without terminator");
        const size_t len = static_cast<const uint8_t*>(nul) - Here();
        std::string s(reinterpret_cast<const char*>(Here()), len);
        at_ += len + 1;
        return s;
    }

    const std::string& Where() const { return where_; }

private:
    const uint8_t* data_;
    size_t size_;
    std::string where_;
    size_t at_ = 0;
};

// Compressed integers, as the writer stores them.
uint32_t CompressedU16(Cursor& c)
{
    const uint8_t first = c.U8();
    return (first & 1) ? (first >> 1) + 128u * c.U8() : first >> 1u;
}

int32_t CompressedS32(Cursor& c)
{
    const uint16_t first = c.U16();
    if (!(first & 1))
        return static_cast<int32_t>(first >> 1) - 16384;
    const uint32_t v = (first >> 1) + 32768u * c.U16();
    return static_cast<int32_t>(v) - 67108864;
}

struct FileSpan {
    const uint8_t* data;
    size_t size;
};

// Checks one internal file header at `offset` and returns its payload.
FileSpan InternalFile(const Bytes& file, uint32_t offset, HelpFileEntry& entry)
{
    const std::string where = entry.name.empty() ? "directory" : entry.name;
    Require(offset >= FileHeaderSize && offset <= file.size() - InternalHeaderSize,
            where + ": header outside the file");
    entry.offset = offset;
    entry.reserved = GetU32(&file[offset]);
    entry.used = GetU32(&file[offset + 4]);
    Require(entry.used <= file.size() && entry.reserved >= entry.used + InternalHeaderSize,
            where + ": reserved space smaller than used space + 9");
    Require(entry.reserved <= file.size() - offset, where + ": runs past the end of the file");
    return {&file[offset + InternalHeaderSize], entry.used};
}

// Reads a B+ tree of one leaf page, calling `entry` for each entry with a
// cursor limited to the page's used bytes.
void ReadBtree(FileSpan span, const std::string& where, uint16_t flags, uint16_t pageSize, const char* structure,
               const std::function<void(Cursor&)>& entry)
{
    Cursor c(span.data, span.size, where);
    Require(c.U16() == BtreeMagic, where + ": bad B+ tree magic");
    Require(c.U16() == flags, where + ": unexpected B+ tree flags");
    Require(c.U16() == pageSize, where + ": unexpected page size");
    char name[17] = {};
    c.Need(16);
    std::memcpy(name, c.Here(), 16);
    c.Skip(16);
    Require(std::strcmp(name, structure) == 0, where + ": structure is \"" + name + "\", not \"" + structure + "\"");
    Require(c.U16() == 0, where + ": must-be-zero field is not zero");
    const uint16_t splits = c.U16();
    const uint16_t root = c.U16();
    Require(c.U16() == 0xFFFF, where + ": must-be-minus-one field is not -1");
    const uint16_t pages = c.U16();
    const uint16_t levels = c.U16();
    const uint32_t total = c.U32();
    Require(pages == 1 && levels == 1 && root == 0 && splits == 0, where + ": only single-page trees are supported");
    Require(span.size == BtreeHeaderSize + pageSize, where + ": size is not the header plus one page");

    const uint16_t unused = c.U16();
    const uint16_t count = c.U16();
    Require(c.U16() == 0xFFFF && c.U16() == 0xFFFF, where + ": a lone leaf must have no neighbours");
    Require(count == total, where + ": leaf entry count differs from the header's");
    Require(unused <= pageSize - LeafHeaderSize, where + ": unused count larger than the page");
    const size_t usedBytes = pageSize - LeafHeaderSize - unused;
    Cursor entries(c.Here(), usedBytes, where + " leaf");
    for (uint16_t i = 0; i < count; ++i)
        entry(entries);
    Require(entries.Left() == 0, where + ": unused count does not match the entries");
    for (size_t i = c.At() + usedBytes; i < span.size; ++i)
        Require(span.data[i] == 0, where + ": unused page bytes are not zero");
}

// The directory; checks order, bounds and overlap of every internal file.
std::vector<std::pair<HelpFileEntry, FileSpan>> ReadDirectory(const Bytes& file, uint32_t start)
{
    HelpFileEntry dirEntry;
    const FileSpan dir = InternalFile(file, start, dirEntry);
    std::vector<std::pair<HelpFileEntry, FileSpan>> files;
    ReadBtree(dir, "directory", DirectoryFlags, DirectoryPageSize, "z4", [&](Cursor& c) {
        HelpFileEntry e;
        e.name = c.String();
        const uint32_t offset = c.U32();
        Require(files.empty() || files.back().first.name < e.name, "directory: names not in byte-wise order");
        const FileSpan span = InternalFile(file, offset, e);
        files.emplace_back(e, span);
    });

    std::vector<std::pair<uint32_t, uint32_t>> extents = {{0, FileHeaderSize}, {start, dirEntry.reserved}};
    for (const auto& [e, span] : files)
        extents.emplace_back(e.offset, e.reserved);
    std::sort(extents.begin(), extents.end());
    for (size_t i = 1; i < extents.size(); ++i)
        Require(extents[i - 1].first + extents[i - 1].second <= extents[i].first, "internal files overlap");
    return files;
}

void ReadSystem(FileSpan span, HelpFileView& view)
{
    Cursor c(span.data, span.size, SystemFile);
    Require(c.U16() == SystemMagic, "|SYSTEM: bad magic");
    Require(c.U16() == SystemMinor, "|SYSTEM: minor version is not 33");
    Require(c.U16() == SystemMajor, "|SYSTEM: major version is not 1");
    view.genDate = c.U32();
    Require(c.U16() == SystemFlags, "|SYSTEM: flags ask for compression");
    bool title = false, contents = false;
    while (c.Left() > 0) {
        const uint16_t type = c.U16();
        const uint16_t size = c.U16();
        c.Need(size);
        Cursor data(c.Here(), size, "|SYSTEM record " + std::to_string(type));
        if (type == SystemTitleRecord) {
            view.title = data.String();
            Require(data.Left() == 0, "|SYSTEM: title record longer than its text");
            title = true;
        } else if (type == SystemContentsRecord) {
            Require(size == 4, "|SYSTEM: contents record is not 4 bytes");
            view.contentsOffset = data.U32();
            contents = true;
        }
        c.Skip(size);
    }
    Require(title && contents, "|SYSTEM: title or contents record missing");
}

void ReadFont(FileSpan span, HelpFileView& view)
{
    Cursor c(span.data, span.size, FontFile);
    const uint16_t faces = c.U16();
    const uint16_t fonts = c.U16();
    const uint16_t facesAt = c.U16();
    const uint16_t fontsAt = c.U16();
    Require(faces >= 1, "|FONT: no face name (a reader divides by their number)");
    Require(facesAt == 8 && fontsAt == 8 + FontFaceSize * faces, "|FONT: unexpected table offsets");
    Require(span.size == fontsAt + FontDescriptorSize * fonts, "|FONT: size does not match its tables");
    for (uint16_t i = 0; i < faces; ++i)
        Require(std::memchr(span.data + facesAt + FontFaceSize * i, 0, FontFaceSize) != nullptr,
                "|FONT: face name without terminator");
    for (uint16_t i = 0; i < fonts; ++i)
        Require(GetU16(span.data + fontsAt + FontDescriptorSize * i + 3) < faces, "|FONT: face index out of range");
    view.fontCount = fonts;
}

// Decodes a text record into lines: each string of LinkData2 is followed by
// one command of LinkData1.
void ReadTextRecord(Cursor& data1, Cursor& data2, const HelpFileView& view, HelpFileTopic& topic)
{
    const int32_t topicSize = CompressedS32(data1);
    const uint32_t topicLength = CompressedU16(data1);
    Require(topicSize == static_cast<int32_t>(data1.Left()),
            "|TOPIC: text record's TopicSize does not match its format data");
    Require(topicLength == data2.Left(), "|TOPIC: TopicLength differs from the stored text length");
    const uint8_t fixed[6] = {0x00, 0x80, 0x00, 0x00, 0x00, 0x00};
    data1.Need(sizeof fixed);
    Require(std::memcmp(data1.Here(), fixed, sizeof fixed) == 0, "|TOPIC: unsupported paragraph format");
    data1.Skip(sizeof fixed);

    std::string line;
    int font = 0;
    for (;;) {
        line += data2.String();
        const uint8_t command = data1.U8();
        if (command == CommandFont) {
            font = data1.U16();
            Require(font < view.fontCount, "|TOPIC: font number out of range");
        } else if (command == CommandParagraphEnd) {
            topic.lines.push_back(line);
            topic.fonts.push_back(font);
            line.clear();
        } else if (command == CommandEnd) {
            break;
        } else {
            Require(false, "|TOPIC: unsupported formatting command " + std::to_string(command));
        }
    }
    Require(line.empty(), "|TOPIC: text after the last paragraph end");
    Require(data1.Left() == 0 && data2.Left() == 0, "|TOPIC: text record has data after its end command");
}

// One TOPICLINK's header, checked against the topic data and the link
// before it. `at` is its place in the topic data, `pos` its TOPICPOS.
struct TopicLink {
    uint32_t pos, blockSize, dataLen1, dataLen2, nextBlock;
    size_t at;
    uint8_t type;
    std::string where;
};

TopicLink ReadTopicLink(const Bytes& data, size_t at, uint32_t pos, uint32_t prev)
{
    Cursor c(data.data() + at, data.size() - at, "|TOPIC record at " + std::to_string(pos));
    TopicLink link{};
    link.pos = pos;
    link.at = at;
    link.where = c.Where();
    link.blockSize = c.U32();
    link.dataLen2 = c.U32();
    Require(c.U32() == prev, link.where + ": PrevBlock does not point back");
    link.nextBlock = c.U32();
    link.dataLen1 = c.U32();
    link.type = c.U8();
    Require(link.dataLen1 >= TopicLinkHeaderSize && link.blockSize >= link.dataLen1 && link.blockSize <= data.size() - at,
            link.where + ": sizes outside the topic data");
    Require(link.dataLen1 <= TopicBlockDataSize - at % TopicBlockDataSize,
            link.where + ": header and LinkData1 cross a block boundary");
    Require(link.dataLen2 == link.blockSize - link.dataLen1, link.where + ": text is not stored raw");
    return link;
}

// The place in the topic data that a TOPICPOS names.
size_t TopicDataAt(const Bytes& data, uint32_t pos, const std::string& where)
{
    Require(pos >= TopicBlockHeaderSize, where + ": TOPICPOS " + std::to_string(pos) + " is inside a block header");
    const size_t block = (pos - TopicBlockHeaderSize) / TopicPosBlockStep;
    const size_t inBlock = (pos - TopicBlockHeaderSize) % TopicPosBlockStep;
    const size_t at = block * TopicBlockDataSize + inBlock;
    Require(inBlock < TopicBlockDataSize && at < data.size(),
            where + ": TOPICPOS " + std::to_string(pos) + " is outside the topic data");
    return at;
}

// What the walk through the records carries from one record to the next.
struct TopicWalk {
    size_t block = 0;                            // where the last record started
    uint32_t characters = 0;                     // text bytes so far in that block
    uint32_t textBytes = 0;                      // BlockSizes of the current topic's text records
    uint32_t nextHeader = TopicBlockHeaderSize;  // where the last header said the next one is
    uint32_t headerTextSize = 0;                 // the last header's BlockSize field
    size_t padding = 0;                          // zero bytes skipped to reach this record
};

// A topic header (or the closing record); returns true for the closing one.
bool ReadTopicHeader(const TopicLink& link, Cursor& data1, Cursor& data2, TopicWalk& walk, HelpFileView& view)
{
    Require(link.pos == walk.nextHeader, link.where + ": topic header not where the previous one's NextTopic says");
    if (!view.topics.empty())
        Require(walk.headerTextSize == walk.textBytes, "|TOPIC: header's BlockSize is not its text records' size");
    Require(data1.Left() == TopicHeaderDataSize, link.where + ": topic header is not 28 bytes");
    const uint32_t textSize = data1.U32(), browseBack = data1.U32(), browseFor = data1.U32();
    const uint32_t number = data1.U32(), nonScroll = data1.U32(), scroll = data1.U32(), next = data1.U32();
    Require(number == view.topics.size(), link.where + ": topic number out of sequence");
    Require(browseBack == None && browseFor == None && nonScroll == None,
            link.where + ": browse sequence or non-scrolling region not supported");
    const std::string title(reinterpret_cast<const char*>(data2.Here()), data2.Left());
    Require(title.find('\0') == std::string::npos, link.where + ": title holds a NUL");
    walk.nextHeader = next;
    walk.headerTextSize = textSize;
    walk.textBytes = 0;
    if (link.nextBlock == None) {
        Require(title.empty() && scroll == None && next == None && textSize == 0,
                link.where + ": the closing record is not empty");
        return true;
    }
    Require(scroll == link.nextBlock, link.where + ": Scroll does not point at the next record");
    const uint32_t offset = static_cast<uint32_t>(walk.block * TopicOffsetBlockStep + walk.characters);
    view.topics.push_back({offset, link.pos, title, {}, {}});
    return false;
}

// Checks that NextBlock names the place right after `link`, or the next
// block's start when the bytes between are zero.
void FollowNextBlock(const Bytes& data, const TopicLink& link, TopicWalk& walk)
{
    const size_t end = link.at + link.blockSize;
    const size_t next = TopicDataAt(data, link.nextBlock, link.where);
    const bool padded = next > end && next % TopicBlockDataSize == 0 && next - end < TopicBlockDataSize &&
                        std::all_of(data.begin() + end, data.begin() + next, [](uint8_t b) { return b == 0; });
    Require(next == end || padded, link.where + ": NextBlock does not point at the following record");
    walk.padding = next - end;
}

// The blocks' data areas joined, as a viewer joins them.
Bytes JoinTopicBlocks(FileSpan span, uint32_t payloadStart, size_t fileSize)
{
    const size_t blocks = (span.size + TopicBlockSize - 1) / TopicBlockSize;
    Require(span.size % TopicBlockSize == 0 || span.size % TopicBlockSize > TopicBlockHeaderSize,
            "|TOPIC: the last topic block holds no data");
    // A reader copies each block, full size, whatever |TOPIC's own size.
    Require(payloadStart + blocks * TopicBlockSize <= fileSize,
            "|TOPIC: a full read of the last topic block would pass the end of the file");
    Bytes data;
    for (size_t start = 0; start < span.size; start += TopicBlockSize)
        data.insert(data.end(), span.data + start + TopicBlockHeaderSize,
                    span.data + std::min(start + TopicBlockSize, span.size));
    return data;
}

// Each block header names the last record and the last topic header that
// start before the block, and the first record that starts in it.
void CheckTopicBlockHeaders(FileSpan span, const std::vector<TopicLink>& links)
{
    uint32_t lastLink = None, lastHeader = 0;
    size_t next = 0;
    for (size_t start = 0, block = 0; start < span.size; start += TopicBlockSize, ++block) {
        const size_t end = (block + 1) * TopicBlockDataSize;
        const uint32_t first = next < links.size() && links[next].at < end ? links[next].pos : None;
        Require(GetU32(span.data + start) == lastLink && GetU32(span.data + start + 4) == first &&
                    GetU32(span.data + start + 8) == lastHeader,
                "|TOPIC: the header of block " + std::to_string(block) + " does not match its records");
        for (; next < links.size() && links[next].at < end; ++next) {
            lastLink = links[next].pos;
            if (links[next].type == TopicHeaderRecord)
                lastHeader = lastLink;
        }
    }
}

void ReadTopics(FileSpan span, uint32_t payloadStart, size_t fileSize, HelpFileView& view)
{
    Require(span.size > TopicBlockHeaderSize, "|TOPIC: shorter than a topic block header");
    const Bytes data = JoinTopicBlocks(span, payloadStart, fileSize);
    std::vector<TopicLink> links;
    TopicWalk walk;
    uint32_t pos = TopicBlockHeaderSize, prev = None;
    for (bool closed = false; !closed;) {
        const TopicLink link = ReadTopicLink(data, TopicDataAt(data, pos, "|TOPIC"), pos, prev);
        Require(walk.padding == 0 || link.dataLen1 > walk.padding,
                link.where + ": moved to the next block though it fitted in the last");
        if (link.at / TopicBlockDataSize != walk.block) {
            walk.block = link.at / TopicBlockDataSize;
            walk.characters = 0;
        }
        if (link.nextBlock != None)
            FollowNextBlock(data, link, walk);
        Cursor data1(data.data() + link.at + TopicLinkHeaderSize, link.dataLen1 - TopicLinkHeaderSize,
                     link.where + " LinkData1");
        Cursor data2(data.data() + link.at + link.dataLen1, link.dataLen2, link.where + " LinkData2");
        if (link.type == TopicHeaderRecord) {
            closed = ReadTopicHeader(link, data1, data2, walk, view);
        } else if (link.type == TextRecord) {
            Require(!view.topics.empty(), link.where + ": text before the first topic header");
            ReadTextRecord(data1, data2, view, view.topics.back());
            walk.characters += link.dataLen2;
            walk.textBytes += link.blockSize;
        } else {
            Require(false, link.where + ": unknown record type " + std::to_string(link.type));
        }
        if (closed)
            Require(link.at + link.blockSize == data.size(), "|TOPIC: data after the closing record");
        links.push_back(link);
        prev = pos;
        pos = link.nextBlock;
    }
    CheckTopicBlockHeaders(span, links);
    view.topicBlocks = static_cast<int>((span.size + TopicBlockSize - 1) / TopicBlockSize);
    Require(!view.topics.empty(), "|TOPIC: no topic");
    for (const HelpFileTopic& t : view.topics)
        Require(!t.lines.empty(), "|TOPIC: topic \"" + t.title + "\" has no text record");
}

void RequireTopicStart(const HelpFileView& view, uint32_t offset, const std::string& where)
{
    Require(view.TopicAt(offset) != nullptr, where + ": offset " + std::to_string(offset) + " is not a topic start");
}

void ReadContext(FileSpan span, HelpFileView& view)
{
    ReadBtree(span, ContextFile, TreeFlags, TreePageSize, "L4", [&](Cursor& c) {
        const int32_t hash = static_cast<int32_t>(c.U32());
        const uint32_t offset = c.U32();
        Require(view.contexts.empty() || view.contexts.back().first < hash,
                "|CONTEXT: hashes not in ascending signed order");
        RequireTopicStart(view, offset, ContextFile);
        view.contexts.emplace_back(hash, offset);
    });
}

void ReadContextMap(FileSpan span, HelpFileView& view)
{
    Cursor c(span.data, span.size, CtxomapFile);
    const uint16_t count = c.U16();
    Require(span.size == 2 + 8u * count, "|CTXOMAP: size does not match its entry count");
    for (uint16_t i = 0; i < count; ++i) {
        const int32_t id = static_cast<int32_t>(c.U32());
        const uint32_t offset = c.U32();
        Require(view.contextMap.empty() || view.contextMap.back().first < id,
                "|CTXOMAP: context numbers not unique and ascending");
        RequireTopicStart(view, offset, CtxomapFile);
        view.contextMap.emplace_back(id, offset);
    }
}

void ReadTitles(FileSpan span, HelpFileView& view)
{
    ReadBtree(span, TitleTreeFile, TreeFlags, TreePageSize, "Lz", [&](Cursor& c) {
        const uint32_t offset = c.U32();
        std::string title = c.String();
        Require(view.titles.empty() || view.titles.back().first < offset, "|TTLBTREE: offsets not ascending");
        RequireTopicStart(view, offset, TitleTreeFile);
        Require(view.TopicAt(offset)->title == title, "|TTLBTREE: title differs from the topic's");
        view.titles.emplace_back(offset, std::move(title));
    });
}

const FileSpan& FindFile(const std::vector<std::pair<HelpFileEntry, FileSpan>>& files, const char* name)
{
    for (const auto& [e, span] : files)
        if (e.name == name)
            return span;
    throw FormatError{std::string(name) + " missing from the directory"};
}

} // namespace

const HelpFileTopic* HelpFileView::TopicAt(uint32_t offset) const
{
    for (const HelpFileTopic& t : topics)
        if (t.offset == offset)
            return &t;
    return nullptr;
}

bool ReadHelpFile(const Bytes& file, HelpFileView& view, std::string& error)
{
    view = HelpFileView();
    try {
        Require(file.size() >= FileHeaderSize + InternalHeaderSize, "shorter than a file header");
        Require(GetU32(&file[0]) == FileMagic, "not a help file (bad magic)");
        Require(GetU32(&file[8]) == None, "free-block list not supported");
        Require(GetU32(&file[12]) == file.size(), "the header's file size differs from the real size");
        const auto files = ReadDirectory(file, GetU32(&file[4]));
        for (const auto& [e, span] : files)
            view.directory.push_back(e);

        ReadSystem(FindFile(files, SystemFile), view);
        ReadFont(FindFile(files, FontFile), view);
        const FileSpan& topic = FindFile(files, TopicFile);
        ReadTopics(topic, static_cast<uint32_t>(topic.data - file.data()), file.size(), view);
        RequireTopicStart(view, view.contentsOffset, "|SYSTEM contents");
        ReadContext(FindFile(files, ContextFile), view);
        ReadContextMap(FindFile(files, CtxomapFile), view);
        ReadTitles(FindFile(files, TitleTreeFile), view);
    } catch (const FormatError& e) {
        error = e.what;
        return false;
    }
    return true;
}
