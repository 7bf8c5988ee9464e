#include "output/jpeg_writer.h"

#include <csetjmp>
#include <cstdio>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "output/still_image_writer.h"

namespace vantix {

namespace {

// libjpeg's standard error manager ends the process on a fatal error. This
// one prints the library's message the standard way and jumps back into
// EncodeJpeg, which then fails the save.
struct JpegErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf recovery;
};

[[noreturn]] void OnJpegError(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->recovery, 1);
}

// Nothing with a destructor may live in this frame: a libjpeg error leaves it
// through longjmp. The scanline buffer comes from libjpeg's own pool, which
// jpeg_destroy_compress frees on either path.
bool EncodeJpeg(FILE* file, int32_t width, int32_t height, int components, int quality, JpegLineSource source,
                const void* context) {
    jpeg_compress_struct cinfo{};
    JpegErrorManager error{};
    cinfo.err = jpeg_std_error(&error.base);
    error.base.error_exit = OnJpegError;
    if (setjmp(error.recovery) != 0) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);

    JSAMPARRAY line = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                 static_cast<JDIMENSION>(width * components), 1);
    while (cinfo.next_scanline < cinfo.image_height) {
        source(context, static_cast<int32_t>(cinfo.next_scanline), line[0]);
        jpeg_write_scanlines(&cinfo, line, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

int WriteJpegLines(const char* fileName, int32_t width, int32_t height, int components, int quality,
                   JpegLineSource source, const void* context) {
    if (width <= 0 || height <= 0 || (components != 1 && components != 3) || source == nullptr) {
        return 0;
    }
    OutputFile file;
    if (!file.Open(fileName)) {
        return 0;
    }
    FILE* stream = file.OpenStream();
    if (stream == nullptr) {
        return 0;
    }
    const bool encoded = EncodeJpeg(stream, width, height, components, quality, source, context);
    file.CloseStream(stream);
    if (!encoded) {
        file.MarkFailed();
    }
    return file.Commit() ? 1 : 0;
}

}  // namespace vantix
