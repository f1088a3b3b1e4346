#include "image/ImageFileKind.h"

#include <filesystem>

#include "image/ImageLoaders.h"

namespace qv {

ImageFileKind ImageFileKindOf(std::string_view name) {
    if (name.size() < 3) return ImageFileKind::Unknown;
    switch (name[name.size() - 3]) {
        case 'b':
        case 'B':
            return ImageFileKind::Binary;
        case 'h':
        case 'H':
            return ImageFileKind::HexRecords;
        default:
            return ImageFileKind::Unknown;
    }
}

ImageLoad LoadImageFile(ImageBuffer& image, const std::string& name) {
    const std::filesystem::path path(name);
    const ImageFileKind kind = ImageFileKindOf(name);
    // A FIFO or a device (a name kept from another run, say) would block or never end: only
    // regular files are opened.
    std::error_code error;
    const bool regular = std::filesystem::is_regular_file(path, error);
    LoadResult result;
    if (regular && kind == ImageFileKind::Binary) result = LoadBinFile(image, path);
    if (regular && kind == ImageFileKind::HexRecords) result = LoadHexFile(image, path);
    if (!result.opened) {
        FillProgramImage(image, 0xFF);
        image.LoadedLength = 0;
        return {kind == ImageFileKind::Unknown ? ImageLoadOutcome::UnknownType
                                               : ImageLoadOutcome::NotOpened,
                0};
    }
    return {ImageLoadOutcome::Loaded, result.sum, result.cut};
}

}  // namespace qv
