// icongen: turns pixel-art text files into a Windows .ico file.
//
//   icongen <out.ico> <image.txt>...
//
// Each text file is one square image, 16 or 32 pixels wide: one palette letter
// per pixel, one line per row, top row first. Lines that are empty or start
// with '#' are comments. The letters name the 16 colours of the standard VGA
// palette as Windows sets it up; '.' is a transparent pixel. Every image is
// written as a 4-bit BITMAPINFOHEADER image with its 16-colour palette and an
// AND mask, the form that every Windows version reads.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct PaletteEntry {
    char letter;
    uint8_t red, green, blue;
};

// Index order is the Windows 16-colour palette: the low-intensity colours,
// silver, then gray and the high-intensity colours.
const PaletteEntry Palette[16] = {
    {'k', 0x00, 0x00, 0x00},  // black
    {'m', 0x80, 0x00, 0x00},  // maroon (dark red)
    {'g', 0x00, 0x80, 0x00},  // dark green
    {'o', 0x80, 0x80, 0x00},  // olive
    {'n', 0x00, 0x00, 0x80},  // navy
    {'p', 0x80, 0x00, 0x80},  // purple
    {'t', 0x00, 0x80, 0x80},  // teal
    {'s', 0xC0, 0xC0, 0xC0},  // silver (light gray)
    {'d', 0x80, 0x80, 0x80},  // dark gray
    {'r', 0xFF, 0x00, 0x00},  // red
    {'l', 0x00, 0xFF, 0x00},  // lime (bright green)
    {'y', 0xFF, 0xFF, 0x00},  // yellow
    {'b', 0x00, 0x00, 0xFF},  // blue
    {'f', 0xFF, 0x00, 0xFF},  // fuchsia
    {'c', 0x00, 0xFF, 0xFF},  // cyan
    {'w', 0xFF, 0xFF, 0xFF},  // white
};

const char TransparentLetter = '.';
const int Transparent = -1;

struct Image {
    int size = 0;             // width and height
    std::vector<int> pixels;  // palette index or Transparent, top row first
};

int PaletteIndex(char letter)
{
    if (letter == TransparentLetter)
        return Transparent;
    for (int i = 0; i < 16; ++i) {
        if (Palette[i].letter == letter)
            return i;
    }
    return -2;
}

bool Fail(const std::string& where, const std::string& what)
{
    std::fprintf(stderr, "icongen: %s: %s\n", where.c_str(), what.c_str());
    return false;
}

bool ReadImage(const char* path, Image* image)
{
    std::ifstream in(path);
    if (!in)
        return Fail(path, "cannot open");
    std::vector<std::string> rows;
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        for (char c : line) {
            if (PaletteIndex(c) == -2)
                return Fail(std::string(path) + ":" + std::to_string(lineNumber),
                            std::string("unknown palette letter '") + c + "'");
        }
        if (!rows.empty() && line.size() != rows[0].size())
            return Fail(std::string(path) + ":" + std::to_string(lineNumber),
                        "row length differs from the first row");
        rows.push_back(line);
    }
    int size = static_cast<int>(rows.size());
    if ((size != 16 && size != 32) || rows[0].size() != rows.size())
        return Fail(path, "an image must be 16x16 or 32x32 pixels");
    image->size = size;
    for (const std::string& row : rows) {
        for (char c : row)
            image->pixels.push_back(PaletteIndex(c));
    }
    return true;
}

void Put16(std::vector<uint8_t>& out, unsigned v)
{
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// DIB rows are padded to whole 32-bit words.
int RowBytes(int width, int bitsPerPixel)
{
    return (width * bitsPerPixel + 31) / 32 * 4;
}

// BITMAPINFOHEADER, palette, 4-bit colour bits and 1-bit AND mask, rows
// bottom-up. The header's height counts both bitmaps. Transparent pixels are
// black in the colour bits and set in the mask, so the screen shows through.
std::vector<uint8_t> EncodeImage(const Image& image)
{
    const int n = image.size;
    const int xorRow = RowBytes(n, 4);
    const int andRow = RowBytes(n, 1);
    std::vector<uint8_t> out;
    Put32(out, 40);                      // biSize
    Put32(out, n);                       // biWidth
    Put32(out, 2 * n);                   // biHeight: colour bits and mask
    Put16(out, 1);                       // biPlanes
    Put16(out, 4);                       // biBitCount
    Put32(out, 0);                       // biCompression: BI_RGB
    Put32(out, (xorRow + andRow) * n);   // biSizeImage
    Put32(out, 0);                       // biXPelsPerMeter
    Put32(out, 0);                       // biYPelsPerMeter
    Put32(out, 0);                       // biClrUsed: all 16
    Put32(out, 0);                       // biClrImportant
    for (const PaletteEntry& p : Palette) {
        out.push_back(p.blue);
        out.push_back(p.green);
        out.push_back(p.red);
        out.push_back(0);
    }
    for (int y = n - 1; y >= 0; --y) {
        std::vector<uint8_t> row(xorRow, 0);
        for (int x = 0; x < n; ++x) {
            int index = image.pixels[y * n + x];
            uint8_t nibble = index == Transparent ? 0 : static_cast<uint8_t>(index);
            row[x / 2] |= x % 2 == 0 ? nibble << 4 : nibble;
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = n - 1; y >= 0; --y) {
        std::vector<uint8_t> row(andRow, 0);
        for (int x = 0; x < n; ++x) {
            if (image.pixels[y * n + x] == Transparent)
                row[x / 8] |= 0x80 >> (x % 8);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

// ICONDIR, one ICONDIRENTRY per image, then the images in the same order.
std::vector<uint8_t> EncodeIconFile(const std::vector<Image>& images)
{
    std::vector<std::vector<uint8_t>> encoded;
    for (const Image& image : images)
        encoded.push_back(EncodeImage(image));
    std::vector<uint8_t> out;
    Put16(out, 0);  // reserved
    Put16(out, 1);  // type: icon
    Put16(out, static_cast<unsigned>(images.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        out.push_back(static_cast<uint8_t>(images[i].size));  // width
        out.push_back(static_cast<uint8_t>(images[i].size));  // height
        out.push_back(16);                                    // colours
        out.push_back(0);                                     // reserved
        Put16(out, 1);                                        // planes
        Put16(out, 4);                                        // bits per pixel
        Put32(out, static_cast<uint32_t>(encoded[i].size()));
        Put32(out, offset);
        offset += static_cast<uint32_t>(encoded[i].size());
    }
    for (const std::vector<uint8_t>& e : encoded)
        out.insert(out.end(), e.begin(), e.end());
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: icongen <out.ico> <image.txt>...\n");
        return 2;
    }
    std::vector<Image> images(argc - 2);
    for (int i = 2; i < argc; ++i) {
        if (!ReadImage(argv[i], &images[i - 2]))
            return 1;
    }
    std::vector<uint8_t> bytes = EncodeIconFile(images);
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.good()) {
        std::fprintf(stderr, "icongen: %s: cannot write\n", argv[1]);
        return 1;
    }
    return 0;
}
