#include "preview/png_file.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/file_replace.h"
#include "platform/path_text.h"
#include "platform/process.h"

namespace pelmora::preview {

namespace {

// libpng reports its errors by longjmp; nothing with a destructor lives
// between the setjmp and the calls that may jump.
bool encode(std::FILE* file, const Image& image, char* message, std::size_t messageSize) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) {
        std::snprintf(message, messageSize, "the PNG encoder could not be made");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        std::snprintf(message, messageSize, "the PNG encoder could not be made");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::snprintf(message, messageSize, "the PNG encoder failed");
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Flat-shaded pictures compress well with little effort.
    png_set_compression_level(png, 3);
    png_write_info(png, info);
    const std::size_t stride = static_cast<std::size_t>(image.width) * 3;
    for (int y = 0; y < image.height; ++y)
        png_write_row(png, const_cast<png_bytep>(image.rgb.data() + stride * static_cast<std::size_t>(y)));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

// A name beside `target` that nobody else uses, created empty and opened.
std::FILE* openBeside(const std::string& targetUtf8, std::string& name) {
    const std::filesystem::path target = tool::system::pathOf(targetUtf8);
    const std::filesystem::path folder = target.parent_path();
    const std::string hidden =
        "." + tool::system::textOf(target.filename()) + ".tmp" + std::to_string(tool::system::processId()) + "-";
    errno = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = tool::system::textOf(folder / tool::system::pathOf(hidden + std::to_string(attempt)));
        if (std::FILE* file = tool::system::openFile(name, "wbx")) return file;
        if (errno != EEXIST) break;
    }
    return nullptr;
}

}  // namespace

void writePngFile(const Image& image, const std::string& path) {
    if (image.width <= 0 || image.height <= 0) throw PictureError("the picture is empty");
    // A link stays a link: the file it points to is the one replaced.
    // The name is made by creating the file, so the file is opened with it.
    std::FILE* file = nullptr;
    const auto nameBeside = [&file](const std::string& target) {
        std::string name;
        file = openBeside(target, name);
        return file ? name : std::string();
    };
    char message[128] = "";
    const auto write = [&](const std::string&) {
        bool written = encode(file, image, message, sizeof message);
        if (std::ferror(file)) {
            written = false;
            std::snprintf(message, sizeof message, "writing failed");
        }
        if (std::fclose(file) != 0 && written) {
            written = false;
            std::snprintf(message, sizeof message, "writing failed: %s", std::strerror(errno));
        }
        return written;
    };
    switch (base::writeBesideAndReplace(path, tool::system::replaceCalls(), nameBeside, write)) {
        case base::Replaced::Done:
        case base::Replaced::Withdrawn:  // nothing asks to withdraw it
            return;
        case base::Replaced::NoTemporaryName:
            throw PictureError("cannot create a file beside " + path + ": " + std::strerror(errno));
        case base::Replaced::NotWritten:
            throw PictureError(std::string("cannot write ") + path + ": " + message);
        case base::Replaced::NotReplaced:
            throw PictureError("cannot replace " + path + ": " + std::strerror(errno));
    }
}

}  // namespace pelmora::preview
