#include <algorithm>
#include <fstream>
#include <string>

#include "common/HexText.h"
#include "image/ImageLoaders.h"

namespace qv {

namespace {

constexpr int kEndOfFile = std::char_traits<char>::eof();
// A byte of this value between records ends the reading as the end of the file does.
constexpr int kStopByte = 0xFF;

// A record reaches at most 255 bytes past the highest 16-bit address.
static_assert(0xFFFF + 255 <= kProgramImageSize);

// Takes up to `length` characters as one field. A line end, LF or CR LF, stops the field after
// it is taken, and the places the field did not reach count as the digit 0, as does the line
// end itself. CR LF counts as one character, as in a text-mode read; a CR without an LF after
// it is an ordinary character of the field.
std::uint32_t ReadField(std::istream& in, std::size_t length) {
    std::string text;
    while (text.size() < length) {
        int c = in.get();
        if (c == kEndOfFile) break;
        if (c == '\r' && in.peek() == '\n') c = in.get();
        text.push_back(static_cast<char>(c));
        if (c == '\n') break;
    }
    return HexTextToInt(text, length);
}

// One record after its ":"; returns the end (address + count) it reaches.
std::uint32_t ReadRecord(std::istream& in, ImageBuffer& image) {
    const std::uint32_t count = ReadField(in, 2);
    const std::uint32_t address = ReadField(in, 4);
    ReadField(in, 2);  // record type, not examined
    for (std::uint32_t i = 0; i < count; ++i) {
        image.Bytes[address + i] = static_cast<std::uint8_t>(ReadField(in, 2));
    }
    ReadField(in, 2);  // record checksum, not examined
    return address + count;
}

}  // namespace

LoadResult LoadHexFile(ImageBuffer& image, const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        FillProgramImage(image, 0xFF);
        return {};
    }
    return LoadHexStream(image, in);
}

LoadResult LoadHexStream(ImageBuffer& image, std::istream& in) {
    FillProgramImage(image, 0xFF);
    std::uint32_t end = 0;
    for (int c = in.get(); c != kEndOfFile && c != kStopByte; c = in.get()) {
        if (c == ':') end = std::max(end, ReadRecord(in, image));
    }
    image.LoadedLength = end;
    return {true, LoadedSum(image)};
}

}  // namespace qv
