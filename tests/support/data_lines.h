// Reading the hand-written data files of the tests (expected values, pixel
// art): lines may end in CR LF, blank lines and lines starting with # are left
// out.
#pragma once
#include <istream>
#include <string>

// The next line that carries data, without its CR; false at the end.
inline bool NextDataLine(std::istream& in, std::string& line)
{
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] != '#')
            return true;
    }
    return false;
}
