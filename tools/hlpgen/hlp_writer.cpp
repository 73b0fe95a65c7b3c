#include "hlp_writer.h"

#include "hlp_format.h"

#include <algorithm>

using namespace hlp;

namespace {

constexpr uint32_t None = 0xFFFFFFFF;

// Compressed integers of the text record's LinkData1.
void PutCompressedU16(Bytes& b, uint32_t v)
{
    if (v < 128) {
        PutU8(b, 2 * v);
    } else {
        PutU8(b, 2 * (v % 128) + 1);
        PutU8(b, v / 128);
    }
}

void PutCompressedU32(Bytes& b, uint32_t v)
{
    if (v < 32768) {
        PutU16(b, 2 * v);
    } else {
        PutU16(b, 2 * (v % 32768) + 1);
        PutU16(b, v / 32768);
    }
}

void PutCompressedS32(Bytes& b, int32_t v)
{
    if (v >= -16384 && v <= 16383)
        PutCompressedU32(b, static_cast<uint32_t>(v + 16384));
    else
        PutCompressedU32(b, static_cast<uint32_t>(v + 67108864));
}

// One TOPICLINK before its links are known.
struct TopicLink {
    uint8_t type;
    Bytes data1;
    Bytes data2;
    size_t at = 0; // its place in the topic data
    uint32_t DataLen1() const { return static_cast<uint32_t>(TopicLinkHeaderSize + data1.size()); }
    uint32_t BlockSize() const { return static_cast<uint32_t>(DataLen1() + data2.size()); }
    size_t Block() const { return at / TopicBlockDataSize; }
};

// The text record of a topic: its title as a heading, a blank line, then
// its lines. Each string of LinkData2 is followed by one command of
// LinkData1 (a font change, a paragraph end, or the end of the topic).
TopicLink MakeTextRecord(const HelpTopic& topic)
{
    TopicLink link{TextRecord, {}, {}};
    Bytes format = {0x00, 0x80, 0x00, 0x00, 0x00, 0x00}; // no optional paragraph fields, id 0
    const auto put = [&](std::string_view text, std::initializer_list<uint8_t> command) {
        PutString(link.data2, text);
        format.insert(format.end(), command);
    };
    put("", {CommandFont, HeadingFont, 0});
    put(topic.title, {CommandParagraphEnd});
    put("", {CommandFont, BodyFont, 0});
    put("", {CommandParagraphEnd});
    for (const std::string& line : topic.lines)
        put(line, {CommandParagraphEnd});
    put("", {CommandEnd});

    Bytes lengths;
    PutCompressedU16(lengths, static_cast<uint32_t>(link.data2.size()));
    PutCompressedS32(link.data1, static_cast<int32_t>(format.size())); // the bytes after both lengths
    PutBytes(link.data1, lengths);
    PutBytes(link.data1, format);
    return link;
}

struct TopicLayout {
    Bytes payload;                 // the |TOPIC file's payload
    std::vector<uint32_t> offsets; // TOPICOFFSET of each topic
};

// Records: header and text for each topic, then an empty closing header.
// A header's LinkData1 is filled in later.
std::vector<TopicLink> MakeTopicLinks(const HelpDocument& doc)
{
    std::vector<TopicLink> links;
    for (const HelpTopic& topic : doc.topics) {
        TopicLink header{TopicHeaderRecord, Bytes(TopicHeaderDataSize), {}};
        PutText(header.data2, topic.title); // the last string carries no NUL
        links.push_back(std::move(header));
        links.push_back(MakeTextRecord(topic));
    }
    links.push_back(TopicLink{TopicHeaderRecord, Bytes(TopicHeaderDataSize), {}});
    return links;
}

// Gives each record its place. A record's text may run on into the next
// blocks, but its 21-byte header and LinkData1 stay in one block: when they
// do not fit in what is left of a block, the rest is zero-filled and the
// record starts the next block. Fails on a record whose LinkData1 alone
// needs more than a block.
bool PlaceTopicLinks(std::vector<TopicLink>& links, const HelpDocument& doc, std::string& error)
{
    size_t at = 0;
    for (size_t i = 0; i < links.size(); ++i) {
        TopicLink& link = links[i];
        if (link.DataLen1() > TopicBlockDataSize) {
            error = "topic \"" + doc.topics[i / 2].title + "\" has " + std::to_string(link.DataLen1()) +
                    " bytes of record header and formatting, more than the " + std::to_string(TopicBlockDataSize) +
                    " of a topic block; split it into more topics";
            return false;
        }
        const size_t room = TopicBlockDataSize - at % TopicBlockDataSize;
        if (link.DataLen1() > room)
            at += room;
        link.at = at;
        at += link.BlockSize();
    }
    return true;
}

// Fills each header's LinkData1 and returns the topics' TOPICOFFSETs: the
// header's block, and the text bytes (LinkData2 of text records) of the
// records that start in that block before it.
std::vector<uint32_t> FillTopicHeaders(std::vector<TopicLink>& links)
{
    std::vector<uint32_t> offsets;
    size_t block = 0;
    uint32_t characters = 0;
    for (size_t i = 0; i < links.size(); ++i) {
        if (links[i].Block() != block) {
            block = links[i].Block();
            characters = 0;
        }
        if (links[i].type == TextRecord) {
            characters += static_cast<uint32_t>(links[i].data2.size());
            continue;
        }
        const bool closing = i + 1 == links.size();
        Bytes& d = links[i].data1;
        d.clear();
        PutU32(d, closing ? 0 : links[i + 1].BlockSize());
        PutU32(d, None);                                     // no browse sequence
        PutU32(d, None);
        PutU32(d, static_cast<uint32_t>(i / 2));             // topic number
        PutU32(d, None);                                     // no non-scrolling region
        PutU32(d, closing ? None : TopicPos(links[i + 1].at)); // scrolling region
        PutU32(d, closing ? None : TopicPos(links[i + 2].at)); // next topic header
        if (!closing)
            offsets.push_back(static_cast<uint32_t>(block * TopicOffsetBlockStep + characters));
    }
    return offsets;
}

// The records chained and laid end to end at their places.
Bytes WriteTopicData(const std::vector<TopicLink>& links)
{
    Bytes data;
    for (size_t i = 0; i < links.size(); ++i) {
        const TopicLink& link = links[i];
        data.resize(link.at, 0);
        PutU32(data, link.BlockSize());
        PutU32(data, static_cast<uint32_t>(link.data2.size()));
        PutU32(data, i == 0 ? None : TopicPos(links[i - 1].at));
        PutU32(data, i + 1 == links.size() ? None : TopicPos(links[i + 1].at));
        PutU32(data, link.DataLen1());
        PutU8(data, link.type);
        PutBytes(data, link.data1);
        PutBytes(data, link.data2);
    }
    return data;
}

// The |TOPIC payload: the data cut into blocks, each after its header.
Bytes WriteTopicBlocks(const std::vector<TopicLink>& links)
{
    const Bytes data = WriteTopicData(links);
    Bytes p;
    uint32_t lastLink = None, lastHeader = 0;
    size_t next = 0; // the first record not yet passed
    for (size_t start = 0; start < data.size(); start += TopicBlockDataSize) {
        const size_t end = std::min(start + TopicBlockDataSize, data.size());
        const uint32_t first = next < links.size() && links[next].at < end ? TopicPos(links[next].at) : None;
        PutU32(p, lastLink);   // last TOPICLINK that starts before this block
        PutU32(p, first);      // first TOPICLINK that starts in it (none when text runs through it)
        PutU32(p, lastHeader); // last topic header before it
        p.insert(p.end(), data.begin() + start, data.begin() + end);
        for (; next < links.size() && links[next].at < end; ++next) {
            lastLink = TopicPos(links[next].at);
            if (links[next].type == TopicHeaderRecord)
                lastHeader = lastLink;
        }
    }
    return p;
}

bool LayOutTopics(const HelpDocument& doc, TopicLayout& layout, std::string& error)
{
    std::vector<TopicLink> links = MakeTopicLinks(doc);
    if (!PlaceTopicLinks(links, doc, error))
        return false;
    layout.offsets = FillTopicHeaders(links);
    layout.payload = WriteTopicBlocks(links);
    return true;
}

Bytes MakeSystem(const HelpDocument& doc, uint32_t genDate, uint32_t contentsOffset)
{
    Bytes b;
    PutU16(b, SystemMagic);
    PutU16(b, SystemMinor);
    PutU16(b, SystemMajor);
    PutU32(b, genDate);
    PutU16(b, SystemFlags);
    PutU16(b, SystemTitleRecord);
    PutU16(b, static_cast<uint32_t>(doc.title.size() + 1));
    PutString(b, doc.title);
    PutU16(b, SystemContentsRecord);
    PutU16(b, 4);
    PutU32(b, contentsOffset);
    return b;
}

// One face, Arial, and two fonts: the body text (10 point) and the
// headings (12 point, bold), both black.
Bytes MakeFont()
{
    Bytes b;
    PutU16(b, 1);                 // face names
    PutU16(b, 2);                 // descriptors
    PutU16(b, 8);                 // face names offset
    PutU16(b, 8 + FontFaceSize);  // descriptors offset
    Bytes face(FontFaceSize, 0);
    std::copy_n("Arial", 5, face.begin());
    PutBytes(b, face);
    const uint8_t fonts[][2] = {{0x00, 20}, {0x01, 24}}; // attributes (0x01 bold), half points
    for (const auto& [attributes, halfPoints] : fonts) {
        PutU8(b, attributes);
        PutU8(b, halfPoints);
        PutU8(b, 3);              // family: swiss
        PutU16(b, 0);             // face 0
        PutBytes(b, Bytes(6, 0)); // foreground and background RGB
    }
    return b;
}

// A B+ tree of one leaf page holding `entries`, already in key order.
bool MakeBtree(uint16_t flags, uint16_t pageSize, std::string_view structure, const std::vector<Bytes>& entries,
               Bytes& b, std::string& error)
{
    size_t used = LeafHeaderSize;
    for (const Bytes& e : entries)
        used += e.size();
    if (used > pageSize) {
        error = "the " + std::string(structure) + " tree needs " + std::to_string(used) +
                " bytes, more than its one page of " + std::to_string(pageSize);
        return false;
    }
    PutU16(b, BtreeMagic);
    PutU16(b, flags);
    PutU16(b, pageSize);
    Bytes name(16, 0);
    std::copy(structure.begin(), structure.end(), name.begin());
    PutBytes(b, name);
    PutU16(b, 0);       // must be zero
    PutU16(b, 0);       // page splits
    PutU16(b, 0);       // root page
    PutU16(b, 0xFFFF);  // must be -1
    PutU16(b, 1);       // total pages
    PutU16(b, 1);       // levels: the root is the leaf
    PutU32(b, static_cast<uint32_t>(entries.size()));

    const size_t page = b.size();
    PutU16(b, static_cast<uint32_t>(pageSize - used)); // unused bytes at the end
    PutU16(b, static_cast<uint32_t>(entries.size()));
    PutU16(b, 0xFFFF);  // no previous leaf
    PutU16(b, 0xFFFF);  // no next leaf
    for (const Bytes& e : entries)
        PutBytes(b, e);
    b.resize(page + pageSize, 0);
    return true;
}

bool MakeContextTree(const HelpDocument& doc, const std::vector<uint32_t>& offsets, Bytes& b, std::string& error)
{
    std::vector<std::pair<int32_t, uint32_t>> keys;
    for (size_t i = 0; i < doc.topics.size(); ++i)
        keys.emplace_back(static_cast<int32_t>(ContextHash(doc.topics[i].name)), offsets[i]);
    std::sort(keys.begin(), keys.end()); // readers stop at the first greater signed hash
    std::vector<Bytes> entries;
    for (const auto& [hash, offset] : keys) {
        Bytes e;
        PutU32(e, static_cast<uint32_t>(hash));
        PutU32(e, offset);
        entries.push_back(std::move(e));
    }
    return MakeBtree(TreeFlags, TreePageSize, "L4", entries, b, error);
}

bool MakeTitleTree(const HelpDocument& doc, const std::vector<uint32_t>& offsets, Bytes& b, std::string& error)
{
    std::vector<Bytes> entries; // topic offsets grow with the topics' order
    for (size_t i = 0; i < doc.topics.size(); ++i) {
        Bytes e;
        PutU32(e, offsets[i]);
        PutString(e, doc.topics[i].title);
        entries.push_back(std::move(e));
    }
    return MakeBtree(TreeFlags, TreePageSize, "Lz", entries, b, error);
}

Bytes MakeContextMap(const HelpDocument& doc, const std::vector<uint32_t>& offsets)
{
    std::vector<std::pair<int32_t, uint32_t>> map;
    for (size_t i = 0; i < doc.topics.size(); ++i)
        map.emplace_back(doc.topics[i].context, offsets[i]);
    std::sort(map.begin(), map.end());
    Bytes b;
    PutU16(b, static_cast<uint32_t>(map.size()));
    for (const auto& [context, offset] : map) {
        PutU32(b, static_cast<uint32_t>(context));
        PutU32(b, offset);
    }
    return b;
}

void PutInternalFile(Bytes& file, const Bytes& payload)
{
    PutU32(file, static_cast<uint32_t>(payload.size() + InternalHeaderSize));
    PutU32(file, static_cast<uint32_t>(payload.size()));
    PutU8(file, InternalFileFlags);
    PutBytes(file, payload);
}

} // namespace

bool BuildHelpFile(const HelpDocument& doc, uint32_t genDate, Bytes& file, std::string& error)
{
    if (doc.topics.empty()) {
        error = "a help file needs at least one topic";
        return false;
    }
    TopicLayout topics;
    if (!LayOutTopics(doc, topics, error))
        return false;
    Bytes context, titles;
    if (!MakeContextTree(doc, topics.offsets, context, error) || !MakeTitleTree(doc, topics.offsets, titles, error))
        return false;

    // |TOPIC goes first: a reader copies whole topic blocks from it, the
    // last one too, so the rest of the file must follow it.
    const std::pair<const char*, Bytes> parts[] = {
        {TopicFile, std::move(topics.payload)},
        {SystemFile, MakeSystem(doc, genDate, topics.offsets[0])},
        {FontFile, MakeFont()},
        {ContextFile, std::move(context)},
        {CtxomapFile, MakeContextMap(doc, topics.offsets)},
        {TitleTreeFile, std::move(titles)},
    };

    file.clear();
    PutU32(file, FileMagic);
    PutU32(file, 0);           // directory start, patched below
    PutU32(file, 0xFFFFFFFF);  // no free blocks
    PutU32(file, 0);           // file size, patched below
    std::vector<std::pair<std::string, uint32_t>> directory;
    for (const auto& [name, payload] : parts) {
        directory.emplace_back(name, static_cast<uint32_t>(file.size()));
        PutInternalFile(file, payload);
    }
    std::sort(directory.begin(), directory.end()); // byte-wise name order
    std::vector<Bytes> entries;
    for (const auto& [name, offset] : directory) {
        Bytes e;
        PutString(e, name);
        PutU32(e, offset);
        entries.push_back(std::move(e));
    }
    Bytes tree;
    if (!MakeBtree(DirectoryFlags, DirectoryPageSize, "z4", entries, tree, error))
        return false;
    PatchU32(file, 4, static_cast<uint32_t>(file.size()));
    PutInternalFile(file, tree);
    PatchU32(file, 12, static_cast<uint32_t>(file.size()));
    return true;
}
