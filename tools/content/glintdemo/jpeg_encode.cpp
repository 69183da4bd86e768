#include "jpeg_encode.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <jpeglib.h>

namespace content::glint {
namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    info->err->format_message(info, manager->message);
    std::longjmp(manager->jump, 1);
}

}  // namespace

bool encodeJpeg(const Canvas& canvas, const JpegLayout& layout, std::vector<uint8_t>& jpeg, std::string* error) {
    if (canvas.channels != 1 && canvas.channels != 3) {
        *error = "a JPEG picture has 1 or 3 channels";
        return false;
    }
    const std::vector<uint8_t> pixels = canvas.bytes();
    jpeg_compress_struct info{};
    ErrorManager manager{};
    info.err = jpeg_std_error(&manager.base);
    manager.base.error_exit = onError;
    // Kept on the heap: locals changed after setjmp would be undefined after the jump back.
    struct Output {
        unsigned char* buffer = nullptr;
        unsigned long size = 0;
    };
    const std::unique_ptr<Output> out = std::make_unique<Output>();
    if (setjmp(manager.jump)) {
        jpeg_destroy_compress(&info);
        std::free(out->buffer);
        *error = std::string("libjpeg: ") + manager.message;
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &out->buffer, &out->size);
    info.image_width = JDIMENSION(canvas.width);
    info.image_height = JDIMENSION(canvas.height);
    info.input_components = canvas.channels;
    info.in_color_space = canvas.channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, layout.quality, TRUE);
    if (canvas.channels == 3) {
        info.comp_info[0].h_samp_factor = layout.lumaH;
        info.comp_info[0].v_samp_factor = layout.lumaV;
        for (int c = 1; c < 3; ++c) info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    }
    info.optimize_coding = TRUE;
    info.restart_interval = unsigned(layout.restartInterval);
    if (layout.progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    const size_t rowBytes = size_t(canvas.width) * size_t(canvas.channels);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + info.next_scanline * rowBytes);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg.assign(out->buffer, out->buffer + out->size);
    jpeg_destroy_compress(&info);
    std::free(out->buffer);
    return true;
}

}  // namespace content::glint
