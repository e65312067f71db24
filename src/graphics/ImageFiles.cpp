#include "graphics/ImageFiles.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

#include "base/MemStream.h"
#include "base/Sjis.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/BmpReader.h"
#include "graphics/BmpWriter.h"
#include "graphics/ImageFileError.h"
#include "graphics/JpegCodec.h"
#include "graphics/PngReader.h"
#include "platform/Dialogs.h"

namespace zel {

namespace {

void ShowBadJpegMessage(IDialogHost* messages) {
    const std::string text = Sj("規格外のJPEGを読み込みました。読み込みを中断します。");
    if (messages) {
        messages->Message(text, "OK");
    } else {
        std::fprintf(stderr, "%s\n", SjisToUtf8(text).c_str());
    }
}

[[noreturn]] void Fail(const std::string& why) { throw EImageFileError(why, why); }

// A PNG that may be preceded by 4 bytes of something else.
void DecodePngWithPrefix(const uint8_t* data, size_t size, TARGB8888& img) {
    if (size < 4) Fail("file ends before the PNG signature");
    static const uint8_t kStart[4] = {0x89, 'P', 'N', 'G'};
    if (std::memcmp(data, kStart, 4) != 0) {
        data += 4;
        size -= 4;
    }
    DecodePng(data, size, img);
}

// Alpha := the mask's green byte, pixel by pixel; the sizes must agree.
void ApplyMask(TARGB8888& colour, const TARGB8888& mask) {
    if (mask.Width() != colour.Width() || mask.Height() != colour.Height())
        Fail("the alpha mask is " + std::to_string(mask.Width()) + "x" + std::to_string(mask.Height()) +
             " but the picture is " + std::to_string(colour.Width()) + "x" + std::to_string(colour.Height()));
    for (int32_t y = 0; y < colour.Height(); ++y) {
        uint32_t* c = colour.Row(y);
        const uint32_t* m = mask.Row(y);
        for (int32_t x = 0; x < colour.Width(); ++x) c[x] = (c[x] & 0x00FFFFFFu) | (m[x] & 0x0000FF00u) << 16;
    }
}

void ReadArgb(const TMemoryStream& s, TARGB8888& out) {
    const uint8_t* p = s.Data();
    const size_t size = s.Size();
    if (size < 16) return;  // cannot hold the magic: not ours
    size_t magicLen = 0;
    while (magicLen < 16 && p[magicLen] != 0) ++magicLen;
    if (!EqualsNoCase(std::string_view(reinterpret_cast<const char*>(p), magicLen), "ARGBSaveData1")) return;
    if (size < 25) Fail("file ends inside the header");
    const uint8_t kind = p[16];
    if (kind > 4) return;
    auto i32 = [&](size_t at) {
        return static_cast<int32_t>(uint32_t{p[at]} | uint32_t{p[at + 1]} << 8 | uint32_t{p[at + 2]} << 16 |
                                    uint32_t{p[at + 3]} << 24);
    };
    const int64_t sizeA = std::max<int32_t>(i32(17), 0);
    const int64_t sizeB = std::max<int32_t>(i32(21), 0);
    if (25 + sizeA + sizeB > int64_t(size)) Fail("a part reaches past the end of the file");
    const uint8_t* a = p + 25;
    const uint8_t* b = a + sizeA;
    TARGB8888 colour, mask;
    switch (kind) {
        case 0: TBmpReader::Read(a, size_t(sizeA), colour, 0); break;
        case 1: DecodePngWithPrefix(a, size_t(sizeA), colour); break;
        case 2:
            DecodeJpeg(a, size_t(sizeA), TJpegOutput::Colour, colour);
            DecodeJpeg(b, size_t(sizeB), TJpegOutput::GreyLevels, mask);
            ApplyMask(colour, mask);
            break;
        case 3:
            DecodeJpeg(a, size_t(sizeA), TJpegOutput::Colour, colour);
            DecodePngWithPrefix(b, size_t(sizeB), mask);
            ApplyMask(colour, mask);
            break;
        default:
            DecodePngWithPrefix(a, size_t(sizeA), colour);
            DecodeJpeg(b, size_t(sizeB), TJpegOutput::GreyLevels, mask);
            ApplyMask(colour, mask);
            break;
    }
    out = std::move(colour);
}

std::string Extension(const std::string& name) {
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : AsciiLower(std::string_view(name).substr(dot));
}

}  // namespace

bool LoadFromStream(TARGB8888& img, TMemoryStream* stream, const std::string& name, IDialogHost* messages) {
    if (!stream) return false;
    img.Clear();
    const std::string ext = Extension(name);
    TARGB8888 tmp;
    bool opaque = false;  // the decoder knows every pixel is opaque
    try {
        if (ext == ".bmp") {
            TBmpReader::Read(*stream, tmp, 255);
        } else if (ext == ".jpg") {
            stream->Seek(0);
            try {
                DecodeJpeg(stream->Data(), stream->Size(), TJpegOutput::Auto, tmp);
                opaque = true;
            } catch (const EImageFileError&) {
                ShowBadJpegMessage(messages);
                tmp.Clear();
            }
        } else if (ext == ".png") {
            const size_t pos = stream->Position();
            DecodePngWithPrefix(stream->Data() + pos, stream->Remaining(), tmp);
        } else if (ext == ".argb") {
            stream->Seek(0);
            ReadArgb(*stream, tmp);
        }
    } catch (const EImageFileError& e) {
        img.Clear();
        throw EImageFileError(name + Sj("の読み込みに失敗しました"), e.Detail().empty() ? e.what() : e.Detail());
    } catch (const std::exception& e) {  // a size the image refused, or no memory for it
        img.Clear();
        throw EImageFileError(name + Sj("の読み込みに失敗しました"), e.what());
    }
    img = std::move(tmp);
    if (opaque)
        img.SetTransparencyFlag(false);
    else
        img.UpdateTransparency();
    return true;
}

bool LoadBmp(TARGB8888& img, TMemoryStream* stream) { return LoadFromStream(img, stream, ".bmp"); }
bool LoadJpg(TARGB8888& img, TMemoryStream* stream) { return LoadFromStream(img, stream, ".jpg"); }
bool LoadPng(TARGB8888& img, TMemoryStream* stream) { return LoadFromStream(img, stream, ".png"); }
bool LoadArgb(TARGB8888& img, TMemoryStream* stream) { return LoadFromStream(img, stream, ".argb"); }

bool SaveBmp(const TARGB8888& img, TMemoryStream& stream) { return WriteBmp32(img, stream); }

bool SaveJpeg(const TARGB8888& img, TMemoryStream& stream, int quality) {
    std::vector<uint8_t> bytes;
    try {
        if (!EncodeJpeg(img, quality, bytes)) return false;
        stream.Write(bytes.data(), bytes.size());
    } catch (const std::exception&) {
        return false;
    }
    return true;
}


}  // namespace zel
