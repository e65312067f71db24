// TARGB8888Manager: the shared cache of decoded pictures that animations
// draw from. The key's extension chooses the loader (".bmp", ".jpg", ".png",
// ".argb"); any other extension, an undecodable picture or one that decodes
// to nothing gives no picture. The size of an entry is width x height x 4.
#pragma once

#include "graphics/ARGB8888Lib.h"
#include "storage/uCache.h"

namespace zel {

class TARGB8888Manager : public TCache<TARGB8888> {
protected:
    std::unique_ptr<TARGB8888> Decode(const uint8_t* data, size_t size, const std::string& key) override;
    uint64_t SizeOf(const TARGB8888& image) const override;
};

using TImageHandle = TCacheHandle<TARGB8888>;

}  // namespace zel
