#include "tools/jpegwriter/jpeg_writer.h"

#include <cstdio>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include <csetjmp>

namespace ostravel {
namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void onError(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    std::longjmp(manager->jump, 1);
}

void onMessage(j_common_ptr) {}  // the generators print nothing on success

void luma(ChromaSampling s, int& h, int& v) {
    switch (s) {
        case ChromaSampling::s444: h = 1; v = 1; break;
        case ChromaSampling::s422: h = 2; v = 1; break;
        case ChromaSampling::s440: h = 1; v = 2; break;
        case ChromaSampling::s420: h = 2; v = 2; break;
    }
}

// Kept apart from writeJpeg so that no C++ object with a destructor lives across setjmp.
bool compress(std::FILE* file, const uint8_t* rgb, int width, int height, const JpegOptions& o) {
    jpeg_compress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    errors.base.output_message = onMessage;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, o.quality, TRUE);
    int h = 2, v = 2;
    luma(o.sampling, h, v);
    info.comp_info[0].h_samp_factor = h;
    info.comp_info[0].v_samp_factor = v;
    for (int c = 1; c < 3; ++c) {
        info.comp_info[c].h_samp_factor = 1;
        info.comp_info[c].v_samp_factor = 1;
    }
    info.optimize_coding = o.optimiseHuffman ? TRUE : FALSE;
    info.restart_in_rows = o.restartRows;
    if (o.progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + static_cast<size_t>(info.next_scanline) * width * 3);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

bool writeJpeg(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height,
               const JpegOptions& options) {
    if (width < 1 || height < 1 || width > 8192 || height > 8192) return false;
    if (rgb.size() < static_cast<size_t>(width) * height * 3) return false;
    if (options.quality < 1 || options.quality > 100 || options.restartRows < 0) return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = compress(file, rgb.data(), width, height, options);
    const bool closed = std::fclose(file) == 0;
    return ok && closed;
}

}  // namespace ostravel
