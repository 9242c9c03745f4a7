#include "assets/jpeg.h"

namespace ostravel {

struct JpegDecoderState {
    int errorCode = kJpegInternalLimit;
};

JpegDecoder::JpegDecoder(JpegStream& stream) : state_(std::make_unique<JpegDecoderState>()) { stream.notifyStart(); }
JpegDecoder::~JpegDecoder() = default;
int JpegDecoder::errorCode() const { return state_->errorCode; }
int JpegDecoder::width() const { return 0; }
int JpegDecoder::height() const { return 0; }
int JpegDecoder::componentCount() const { return 0; }
bool JpegDecoder::progressive() const { return false; }
PixelLayout JpegDecoder::layout() const { return PixelLayout::Grey; }
int JpegDecoder::bytesPerPixel() const { return 1; }
int JpegDecoder::startDecoding() { return -1; }
int JpegDecoder::decodeRow(const uint8_t*&, int&) { return -1; }
void JpegDecoder::usePortableTransform(bool) {}

}  // namespace ostravel
