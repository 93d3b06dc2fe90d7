// PNG decoding with libpng into 8-bit RGBA, whatever the file's colour type
// and depth (palette, grey, grey + alpha, RGB, 16-bit, interlaced). libpng
// reports errors by jumping back to the setjmp point: a damaged file is
// refused with a log line, like a missing one, and never crashes. No GL.
#include <png.h>
#include <csetjmp>
#include <cstdlib>
#include "base/log.h"
#include "render/textures.h"

enum { MAX_PNG_SIDE = 16384 };

// Everything the jump can leave behind lives here, outside the frame that
// calls setjmp, so it is still valid (and freeable) after a jump.
struct PngRead {
    const char* path;
    FILE* file;
    png_structp png;
    png_infop info;
    u8* pixels;
    png_bytep* rows;
    i32 width, height;
};

static void PngError(png_structp png, png_const_charp message) {
    PngRead* r = (PngRead*)png_get_error_ptr(png);
    LogPrint("*** damaged image '%s': %s", r->path, message);
    png_longjmp(png, 1);
}

static void PngWarning(png_structp, png_const_charp) {}

// Asks libpng to deliver every format as 8-bit RGBA.
static void RequestRgba8(png_structp png, png_infop info) {
    png_byte colorType = png_get_color_type(png, info);
    png_byte depth = png_get_bit_depth(png, info);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (depth == 16) png_set_strip_16(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    if (!(colorType & PNG_COLOR_MASK_ALPHA)) png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

// The libpng calls, under the error handler. False when libpng jumped out.
static bool ReadImage(PngRead* r) {
    if (setjmp(png_jmpbuf(r->png))) return false;
    png_init_io(r->png, r->file);
    png_set_user_limits(r->png, MAX_PNG_SIDE, MAX_PNG_SIDE);
    png_read_info(r->png, r->info);
    RequestRgba8(r->png, r->info);
    r->width = (i32)png_get_image_width(r->png, r->info);
    r->height = (i32)png_get_image_height(r->png, r->info);
    if (png_get_rowbytes(r->png, r->info) != (size_t)r->width * 4)
        png_error(r->png, "unexpected row size after conversion");
    size_t rowBytes = (size_t)r->width * 4;
    r->pixels = (u8*)malloc(rowBytes * r->height);
    r->rows = (png_bytep*)malloc(sizeof(png_bytep) * r->height);
    if (!r->pixels || !r->rows) png_error(r->png, "out of memory");
    for (i32 y = 0; y < r->height; y++) r->rows[y] = r->pixels + rowBytes * y;
    png_read_image(r->png, r->rows);
    png_read_end(r->png, nullptr);
    return true;
}

u8* DecodePng(const char* path, i32* width, i32* height) {
    PngRead r = {};
    r.path = path;
    r.file = fopen(path, "rb");
    if (!r.file) return nullptr;
    // The library's own version string: a mismatched one is refused outright.
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r, PngError, PngWarning);
    if (r.png) r.info = png_create_info_struct(r.png);
    bool ok = r.png && r.info && ReadImage(&r);
    if (r.png) png_destroy_read_struct(&r.png, r.info ? &r.info : nullptr, nullptr);
    fclose(r.file);
    free(r.rows);
    if (!ok) {
        free(r.pixels);
        return nullptr;
    }
    *width = r.width;
    *height = r.height;
    return r.pixels;
}
