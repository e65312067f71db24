// libjpeg glue shared by the JPEG decoders and the encoder (not a public
// header: it pulls in jpeglib.h).
//
// libjpeg reports a fatal error by calling error_exit, which by default ends
// the process. Ours copies the message and longjmps back to the setjmp of
// the function that drove the library, which then returns failure; the
// caller raises the C++ error outside every library frame. Functions that
// call setjmp hold no objects with destructors, so the jump skips nothing.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

namespace zel {

struct TJpegErrorManager {
    jpeg_error_mgr pub;  // first member: libjpeg hands back a pointer to it
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    jpeg_progress_mgr progress;
};

// Installs the error handlers (and, for decompressors, the scan limit that
// stops a progressive file with thousands of scans from stalling a frame)
// and creates the codec object. False (with err.message set) when libjpeg
// could not even create it.
bool CreateJpegDecompress(jpeg_decompress_struct& cinfo, TJpegErrorManager& err);
bool CreateJpegCompress(jpeg_compress_struct& cinfo, TJpegErrorManager& err);

// Raises a libjpeg error with our own text from inside a library callback.
[[noreturn]] void JpegFail(j_common_ptr cinfo, const char* text);

// After the header: Huffman-coded data spends at least one bit on each 8 x 8
// block, so a file far smaller than that for its declared size was cut off,
// and decoding it would take seconds to make a picture of almost nothing but
// filler. Raises the libjpeg error for such a file.
void RequireJpegData(jpeg_decompress_struct* c, size_t size);

// A decompressor that lives as long as its holder; raises EImageFileError
// when it cannot be created.
class TJpegDecompressor {
public:
    TJpegDecompressor();
    ~TJpegDecompressor();
    TJpegDecompressor(const TJpegDecompressor&) = delete;
    TJpegDecompressor& operator=(const TJpegDecompressor&) = delete;

    jpeg_decompress_struct cinfo{};
    TJpegErrorManager err{};
};

}  // namespace zel
