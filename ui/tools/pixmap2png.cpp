// Build tool: turns text pixel maps (ui/images/README.md) into one 4-bit
// indexed PNG with the 16-colour palette and writes it as a C++ byte array.
// The maps are placed side by side, left to right, so thirty 16 x 16 maps
// become a 480 x 16 strip.
//
//   pixmap2png <symbol> <output.cpp> <map>...
//
// With --icon it writes one map as a PNG file for the desktop's icon theme
// instead: the colour key transparent, each pixel made scale x scale.
//
//   pixmap2png --icon <output.png> <scale> <map>
//
// A malformed map stops the build with the file, line and reason.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The standard 16 colours, in palette order, and the letter of each in a map.
struct PaletteEntry {
  char letter;
  unsigned char r, g, b;
};
const PaletteEntry kPalette[16] = {
    {'K', 0, 0, 0},       {'m', 128, 0, 0},     {'g', 0, 128, 0},     {'o', 128, 128, 0},
    {'n', 0, 0, 128},     {'p', 128, 0, 128},   {'.', 0, 128, 128},   {'s', 192, 192, 192},
    {'d', 128, 128, 128}, {'R', 255, 0, 0},     {'G', 0, 255, 0},     {'Y', 255, 255, 0},
    {'B', 0, 0, 255},     {'M', 255, 0, 255},   {'C', 0, 255, 255},   {'W', 255, 255, 255},
};

int PaletteIndex(char letter) {
  for (int i = 0; i < 16; ++i) {
    if (kPalette[i].letter == letter) return i;
  }
  return -1;
}

using Rows = std::vector<std::vector<unsigned char>>;

// Lines starting with '#' are comments; every other line is one row.
Rows ReadMap(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error(path + ": cannot be read");
  Rows rows;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<unsigned char> row;
    for (std::size_t x = 0; x < line.size(); ++x) {
      const int index = PaletteIndex(line[x]);
      if (index < 0) {
        throw std::runtime_error(path + ":" + std::to_string(number) + ": unknown colour letter '" +
                                 line[x] + "' in column " + std::to_string(x + 1));
      }
      row.push_back(static_cast<unsigned char>(index));
    }
    if (!rows.empty() && row.size() != rows.front().size()) {
      throw std::runtime_error(path + ":" + std::to_string(number) + ": row of " + std::to_string(row.size()) +
                               " pixels, the first has " + std::to_string(rows.front().size()));
    }
    rows.push_back(std::move(row));
  }
  if (rows.empty()) throw std::runtime_error(path + ": no pixel rows");
  return rows;
}

void AppendBytes(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}

// The index of the colour key (dark cyan).
constexpr int kKeyIndex = 6;

// Each pixel as a square of scale x scale.
Rows Scale(const Rows& image, int scale) {
  Rows out;
  for (const auto& row : image) {
    std::vector<unsigned char> wide;
    for (const unsigned char pixel : row) wide.insert(wide.end(), scale, pixel);
    out.insert(out.end(), scale, wide);
  }
  return out;
}

std::vector<unsigned char> EncodePng(const Rows& image, bool keyTransparent = false) {
  std::vector<unsigned char> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) throw std::runtime_error("libpng cannot start");
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("libpng failed to encode");
  }
  png_set_write_fn(png, &out, AppendBytes, nullptr);
  const auto width = static_cast<png_uint_32>(image.front().size());
  const auto height = static_cast<png_uint_32>(image.size());
  png_set_IHDR(png, info, width, height, 4, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color palette[16];
  for (int i = 0; i < 16; ++i) palette[i] = {kPalette[i].r, kPalette[i].g, kPalette[i].b};
  png_set_PLTE(png, info, palette, 16);
  if (keyTransparent) {
    png_byte alpha[16];
    std::fill(std::begin(alpha), std::end(alpha), 255);
    alpha[kKeyIndex] = 0;
    png_set_tRNS(png, info, alpha, 16, nullptr);
  }
  png_set_gAMA(png, info, 1.0 / 2.2);
  png_set_compression_level(png, 9);
  png_write_info(png, info);
  std::vector<unsigned char> packed((width + 1) / 2);
  for (const auto& row : image) {
    std::fill(packed.begin(), packed.end(), 0);
    for (png_uint_32 x = 0; x < width; ++x) packed[x / 2] |= row[x] << (x % 2 ? 0 : 4);
    png_write_row(png, packed.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

void WriteFile(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error(path + ": cannot be written");
}

void WriteSource(const std::string& path, const std::string& symbol, const std::vector<unsigned char>& bytes) {
  std::ostringstream text;
  text << "// Generated by pixmap2png from the pixel maps in ui/images; edit those.\n"
       << "#include <cstddef>\n\n"
       << "extern const unsigned char " << symbol << "[] = {";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    text << (i % 16 ? " " : "\n    ") << static_cast<int>(bytes[i]) << ",";
  }
  text << "\n};\n"
       << "extern const std::size_t " << symbol << "Size = sizeof(" << symbol << ");\n";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text.str();
  if (!out) throw std::runtime_error(path + ": cannot be written");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--icon") {
    try {
      const int scale = std::stoi(argv[3]);
      if (scale < 1 || scale > 16) throw std::runtime_error(std::string("scale ") + argv[3] + " is not 1 to 16");
      WriteFile(argv[2], EncodePng(Scale(ReadMap(argv[4]), scale), true));
    } catch (const std::exception& e) {
      std::cerr << "pixmap2png: " << e.what() << "\n";
      return 1;
    }
    return 0;
  }
  if (argc < 4) {
    std::cerr << "usage: pixmap2png <symbol> <output.cpp> <map>...\n"
                 "       pixmap2png --icon <output.png> <scale> <map>\n";
    return 2;
  }
  try {
    Rows image;
    for (int i = 3; i < argc; ++i) {
      const Rows map = ReadMap(argv[i]);
      if (image.empty()) {
        image = map;
        continue;
      }
      if (map.size() != image.size()) {
        throw std::runtime_error(std::string(argv[i]) + ": " + std::to_string(map.size()) + " rows, the first map has " +
                                 std::to_string(image.size()));
      }
      for (std::size_t y = 0; y < map.size(); ++y) image[y].insert(image[y].end(), map[y].begin(), map[y].end());
    }
    WriteSource(argv[2], argv[1], EncodePng(image));
  } catch (const std::exception& e) {
    std::cerr << "pixmap2png: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
