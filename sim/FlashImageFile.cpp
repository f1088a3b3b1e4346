#include "sim/FlashImageFile.h"

#include <fstream>
#include <vector>

namespace qv::sim {

bool LoadFlashImage(SimFlash& flash, const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::exists(file, error)) return !error && SaveFlashImage(flash, file);
    const auto size = std::filesystem::file_size(file, error);
    if (error || size != flash.Contents().size()) return false;
    std::vector<std::uint8_t> image(size);
    std::ifstream in(file, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(size)))
        return false;
    return flash.SetContents(image);
}

bool SaveFlashImage(const SimFlash& flash, const std::filesystem::path& file) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    const auto contents = flash.Contents();
    out.write(reinterpret_cast<const char*>(contents.data()),
              static_cast<std::streamsize>(contents.size()));
    out.close();
    return out.good();
}

}  // namespace qv::sim
