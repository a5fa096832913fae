#include "platform/jpeg_image.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace {
struct ErrorManager {
    jpeg_error_mgr Base;
    std::jmp_buf Jump;
};

void ErrorExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager *>(info->err)->Jump, 1);
}

void OutputMessage(j_common_ptr) {} // warnings are not for the engineer

// Everything between setjmp and a possible longjmp is plain data: no destructor is skipped.
bool Decode(const unsigned char *data, unsigned long size, QImage &image)
{
    jpeg_decompress_struct info;
    ErrorManager error;
    info.err = jpeg_std_error(&error.Base);
    error.Base.error_exit = ErrorExit;
    error.Base.output_message = OutputMessage;
    if (setjmp(error.Jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != 3 || info.output_width == 0 || info.output_height == 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB888);
    if (image.isNull()) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}
} // namespace

QImage DecodeJpeg(const QByteArray &data)
{
    if (data.isEmpty())
        return {};
    QImage image;
    if (!Decode(reinterpret_cast<const unsigned char *>(data.constData()),
                static_cast<unsigned long>(data.size()), image))
        return {};
    return image;
}
