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
    LoadResult result;
    switch (ImageFileKindOf(name)) {
        case ImageFileKind::Binary:
            result = LoadBinFile(image, path);
            break;
        case ImageFileKind::HexRecords:
            result = LoadHexFile(image, path);
            break;
        case ImageFileKind::Unknown:
            FillProgramImage(image, 0xFF);
            image.LoadedLength = 0;
            return {ImageLoadOutcome::UnknownType, 0};
    }
    if (!result.opened) {
        image.LoadedLength = 0;  // the loader filled the image with 0xFF already
        return {ImageLoadOutcome::NotOpened, 0};
    }
    return {ImageLoadOutcome::Loaded, result.sum, result.cut};
}

}  // namespace qv
