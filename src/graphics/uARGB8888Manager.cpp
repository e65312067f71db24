#include "graphics/uARGB8888Manager.h"

#include "base/MemStream.h"
#include "graphics/ImageFiles.h"

namespace zel {

std::unique_ptr<TARGB8888> TARGB8888Manager::Decode(const uint8_t* data, size_t size, const std::string& key) {
    const size_t dot = key.rfind('.');
    const std::string_view ext = dot == std::string::npos ? std::string_view() : std::string_view(key).substr(dot);
    if (ext != ".bmp" && ext != ".jpg" && ext != ".png" && ext != ".argb") return nullptr;
    // The loaders read some formats from position 0, so each picture gets a
    // stream of its own bytes.
    TMemoryStream s(std::string_view(reinterpret_cast<const char*>(data), size));
    auto image = std::make_unique<TARGB8888>();
    try {
        if (!LoadFromStream(*image, &s, key)) return nullptr;
    } catch (const std::exception&) {
        return nullptr;
    }
    if (image->Empty()) return nullptr;
    return image;
}

uint64_t TARGB8888Manager::SizeOf(const TARGB8888& image) const {
    return uint64_t(uint32_t(image.Width())) * uint32_t(image.Height()) * 4;
}

}  // namespace zel
