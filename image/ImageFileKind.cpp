#include "image/ImageFileKind.h"

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

}  // namespace qv
