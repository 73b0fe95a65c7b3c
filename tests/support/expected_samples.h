// expected.tsv and expected-more.tsv of the shared drive samples: what each
// snapshot's sectors hold, decoded independently of the program. Rows are
// "file field value" (model, serial, firmware, totalSectors, totalSectors48),
// "file attr position id value threshold" and "file raw|flags position id
// word", the entry rows in sector order.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "data_lines.h"

struct ExpectedAttribute {
    int position, id, value, threshold;
};

// A "raw" or "flags" row of expected-more.tsv: one entry's 48-bit raw value
// or 16-bit flags word.
struct ExpectedEntryWord {
    int position, id;
    uint64_t word;
};

struct ExpectedDrive {
    std::map<std::string, std::string> fields;  // model, serial, firmware, totalSectors, totalSectors48
    std::vector<ExpectedAttribute> attributes;  // in sector order
    std::vector<ExpectedEntryWord> raw, flags;  // in sector order
};

inline std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> cells;
    std::string cell;
    std::istringstream in(line);
    while (std::getline(in, cell, '\t'))
        cells.push_back(cell);
    if (!line.empty() && line.back() == '\t')
        cells.emplace_back();
    return cells;
}

// The drives of the file, by snapshot file name; a malformed row fails the
// calling test.
inline std::map<std::string, ExpectedDrive> ReadExpected(const std::filesystem::path& path)
{
    std::map<std::string, ExpectedDrive> drives;
    std::ifstream in(path);
    std::string line;
    while (NextDataLine(in, line)) {
        std::vector<std::string> c = SplitTabs(line);
        EXPECT_GE(c.size(), 2u) << line;
        if (c.size() < 2)
            continue;
        ExpectedDrive& d = drives[c[0]];
        if (c[1] == "attr") {
            EXPECT_EQ(c.size(), 6u) << line;
            if (c.size() == 6)
                d.attributes.push_back({std::stoi(c[2]), std::stoi(c[3]), std::stoi(c[4]), std::stoi(c[5])});
        } else if (c[1] == "raw" || c[1] == "flags") {
            EXPECT_EQ(c.size(), 5u) << line;
            if (c.size() == 5)
                (c[1] == "raw" ? d.raw : d.flags).push_back({std::stoi(c[2]), std::stoi(c[3]), std::stoull(c[4])});
        } else {
            d.fields[c[1]] = c.size() > 2 ? c[2] : "";
        }
    }
    return drives;
}

// The status rule applied to the expected rows: an attribute at or below a
// non-zero threshold alerts; threshold 0 means "always passing".
inline bool ExpectsAlert(const ExpectedDrive& drive)
{
    for (const ExpectedAttribute& a : drive.attributes) {
        if (a.threshold > 0 && a.value <= a.threshold)
            return true;
    }
    return false;
}
