#include "preview/lit/picture_decode.h"

#include <jpeglib.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <limits>

namespace pelmora::preview {

namespace {

// A texture larger than this is refused rather than allocated.
constexpr long long kMaxTexturePixels = 64LL * 1024 * 1024;

TexturePicture decodePng(const std::string& bytes, std::string& problem) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    TexturePicture picture;
    if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) {
        problem = std::string("not a readable PNG file: ") + png.message;
        return picture;
    }
    if (static_cast<long long>(png.width) * png.height > kMaxTexturePixels) {
        png_image_free(&png);
        problem = "the PNG picture is too large";
        return picture;
    }
    png.format = PNG_FORMAT_RGB;
    picture.width = static_cast<int>(png.width);
    picture.height = static_cast<int>(png.height);
    picture.rgb.resize(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, picture.rgb.data(), 0, nullptr)) {
        problem = std::string("the PNG picture is damaged: ") + png.message;
        return TexturePicture{};
    }
    return picture;
}

// libjpeg reports errors by calling error_exit, which must not return: it
// jumps back to decodeJpeg, where nothing with a destructor lives between
// the setjmp and the calls that may jump.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf back;
    char message[JMSG_LENGTH_MAX];
};

void jpegFailed(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->back, 1);
}

void silent(j_common_ptr, int) {}

bool readJpeg(const std::string& bytes, TexturePicture& picture, JpegErrors& errors) {
    jpeg_decompress_struct info{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jpegFailed;
    errors.manager.emit_message = silent;
    if (setjmp(errors.back)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    if (static_cast<long long>(info.image_width) * info.image_height > kMaxTexturePixels) {
        std::snprintf(errors.message, sizeof errors.message, "the JPEG picture is too large");
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_start_decompress(&info);
    picture.width = static_cast<int>(info.output_width);
    picture.height = static_cast<int>(info.output_height);
    picture.rgb.resize(static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height) * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = picture.rgb.data() + static_cast<std::size_t>(info.output_scanline) * picture.width * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

}  // namespace

TexturePicture decodePicture(const std::string& bytes, std::string& problem) {
    if (bytes.rfind("\x89PNG\r\n\x1a\n", 0) == 0) return decodePng(bytes, problem);
    if (bytes.rfind("\xFF\xD8\xFF", 0) == 0) {
        if (bytes.size() > std::numeric_limits<unsigned long>::max()) return {};
        TexturePicture picture;
        JpegErrors errors{};
        if (readJpeg(bytes, picture, errors)) return picture;
        problem = std::string("the JPEG picture is damaged: ") + errors.message;
        return TexturePicture{};
    }
    problem = "neither a PNG nor a JPEG file";
    return {};
}

}  // namespace pelmora::preview
