#include "assets/texture_bank.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "assets/jpeg.h"
#include "platform/system.h"

namespace ostravel {
namespace {

constexpr const char* kCaptionPlain = "Jpg";
constexpr const char* kCaptionAlert = "Jpg !";

// A decoded picture, top row first, 3 bytes per pixel (R, G, B).
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

[[noreturn]] void refuse(const char* text, const char* caption) {
    showMessage(text, caption, MessageIcon::Information);
    exitProcess(0);
}

// Decodes the JPEG already opened on `file`. Header failures, and (a decision) failures while
// decoding rows, end the process with a box naming `messagePath`.
RgbImage decodeOpened(JpegFileStream& file, const char* messagePath) {
    JpegDecoder jpeg(file);
    if (jpeg.errorCode() != 0) refuse(messagePath, kCaptionAlert);
    RgbImage image;
    image.width = jpeg.width();
    image.height = jpeg.height();
    if (jpeg.startDecoding() != 0) refuse(messagePath, kCaptionAlert);
    const int w = image.width;
    image.rgb.assign(size_t(w) * size_t(image.height) * 3, 0);
    const bool grey = jpeg.bytesPerPixel() == 1;  // a decision: grey gives R = G = B
    for (int y = 0; y < image.height; ++y) {
        const uint8_t* row = nullptr;
        int length = 0;
        if (jpeg.decodeRow(row, length) != 0) refuse(messagePath, kCaptionAlert);
        uint8_t* out = &image.rgb[size_t(y) * size_t(w) * 3];
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = grey ? row + x : row + 4 * x;
            out[3 * x + 0] = p[0];
            out[3 * x + 1] = grey ? p[0] : p[1];
            out[3 * x + 2] = grey ? p[0] : p[2];
        }
    }
    return image;
}

RgbImage decodeFile(const char* path, const char* openCaption) {
    JpegFileStream file;
    if (!file.open(path)) refuse(path, openCaption);
    return decodeOpened(file, path);
}

// GL keeps texel row 0 at the bottom: row k of a top-down picture goes to row height - 1 - k.
std::vector<uint8_t> flipRows(const std::vector<uint8_t>& pixels, int width, int height, int bytesPerTexel) {
    std::vector<uint8_t> flipped(pixels.size());
    const size_t rowBytes = size_t(width) * size_t(bytesPerTexel);
    for (int k = 0; k < height; ++k)
        std::memcpy(&flipped[size_t(height - 1 - k) * rowBytes], &pixels[size_t(k) * rowBytes], rowBytes);
    return flipped;
}

GLuint* slotEntry(TextureBank& bank, int slot) {
    const int index = resolveSlot(bank, slot);
    return index >= 0 ? &bank.names[size_t(index)] : nullptr;
}

// Creates, binds and fills one texture. Rows are tightly packed, so any width works: the unpack
// alignment is 1 for the upload and restored afterwards.
void createTexture(TextureBank& bank, int slot, int components, int width, int height, const void* pixels) {
    GLuint name = 0;
    glGenTextures(1, &name);
    if (GLuint* entry = slotEntry(bank, slot)) *entry = name;
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, components, width, height, 0, components == 4 ? GL_RGBA : GL_RGB,
                 GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

}  // namespace

int resolveSlot(const TextureBank& bank, int slot) {
    const long index = slot >= kAbsoluteSlotBase ? long(slot) : long(slot) + long(bank.bankOffset);
    if (index < 0 || index >= long(bank.names.size())) return -1;  // memory safety only
    return int(index);
}

void loadTexture(TextureBank& bank, BufferSwapHook swap, const char* path, int slot) {
    if (swap) swap(0.1);
    const RgbImage image = decodeFile(path, kCaptionPlain);
    createTexture(bank, slot, 3, image.width, image.height,
                  flipRows(image.rgb, image.width, image.height, 3).data());
}

void loadTextureWithAlpha(TextureBank& bank, BufferSwapHook swap, const char* colourPath, const char* alphaPath,
                          int slot) {
    if (swap) swap(0.1);
    const RgbImage colour = decodeFile(colourPath, kCaptionAlert);
    JpegFileStream file;
    if (!file.open(alphaPath)) refuse(colourPath, kCaptionAlert);
    const RgbImage alpha = decodeOpened(file, colourPath);
    // Decision: pictures of different sizes are refused like a header failure.
    if (alpha.width != colour.width || alpha.height != colour.height) refuse(colourPath, kCaptionAlert);

    const int w = alpha.width, h = alpha.height;
    const std::vector<uint8_t> colourUp = flipRows(colour.rgb, w, h, 3);
    std::vector<uint8_t> rgba(size_t(w) * size_t(h) * 4, 0);
    for (int k = 0; k < h; ++k) {
        // The bottom texel row is never written (it stays transparent black); the alpha
        // picture's last line lands on row 1. A one-row picture has no row 1: all transparent.
        int t = h - 1 - k;
        if (t == 0) t = 1;
        if (t >= h) continue;
        const uint8_t* alphaRow = &alpha.rgb[size_t(k) * size_t(w) * 3];
        const uint8_t* colourRow = &colourUp[size_t(t) * size_t(w) * 3];
        uint8_t* out = &rgba[size_t(t) * size_t(w) * 4];
        for (int x = 0; x < w; ++x) {
            out[4 * x + 0] = colourRow[3 * x + 0];
            out[4 * x + 1] = colourRow[3 * x + 1];
            out[4 * x + 2] = colourRow[3 * x + 2];
            out[4 * x + 3] = alphaRow[3 * x + 1];  // the alpha picture's green
        }
    }
    createTexture(bank, slot, 4, w, h, rgba.data());
}

void loadNormalMap(TextureBank& bank, const char* path, int slot) {
    const RgbImage image = decodeFile(path, kCaptionAlert);
    const int w = image.width, hgt = image.height;
    auto height = [&](int i, int j) -> int {
        i = (i + hgt) % hgt;  // the height picture tiles: neighbours wrap around
        j = (j + w) % w;
        return image.rgb[(size_t(i) * size_t(w) + size_t(j)) * 3];
    };
    std::vector<uint8_t> normals(image.rgb.size());
    for (int i = 0; i < hgt; ++i) {
        for (int j = 0; j < w; ++j) {
            // Sobel gradients of the red channel, in single precision.
            const float x = float((height(i - 1, j - 1) + 2 * height(i, j - 1) + height(i + 1, j - 1)) -
                                  (height(i - 1, j + 1) + 2 * height(i, j + 1) + height(i + 1, j + 1))) /
                            255.0f;
            const float y = float((height(i + 1, j - 1) + 2 * height(i + 1, j) + height(i + 1, j + 1)) -
                                  (height(i - 1, j - 1) + 2 * height(i - 1, j) + height(i - 1, j + 1))) /
                            255.0f;
            const float length = std::sqrt(x * x + y * y + 1.0f);
            uint8_t* out = &normals[(size_t(i) * size_t(w) + size_t(j)) * 3];
            out[0] = uint8_t((x / length + 1.0f) * 0.5f * 255.0f);
            out[1] = uint8_t((y / length + 1.0f) * 0.5f * 255.0f);
            out[2] = uint8_t((1.0f / length + 1.0f) * 0.5f * 255.0f);
        }
    }
    createTexture(bank, slot, 3, w, hgt, flipRows(normals, w, hgt, 3).data());
}

void createRenderTarget(TextureBank& bank, int slot, int width, int height) {
    createTexture(bank, slot, 3, width, height, nullptr);
    // The image is given again at width x width: callers pass square sizes, the texture ends up square.
    const std::vector<uint8_t> black(size_t(width) * size_t(width) * 3, 0);
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, width, width, 0, GL_RGB, GL_UNSIGNED_BYTE, black.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

GLuint textureName(const TextureBank& bank, int slot) {
    const int index = resolveSlot(bank, slot);
    return index >= 0 ? bank.names[size_t(index)] : 0;
}

void bindTexture(const TextureBank& bank, int slot) { glBindTexture(GL_TEXTURE_2D, textureName(bank, slot)); }

void setLinearFiltering() {
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
}

}  // namespace ostravel
