#include <algorithm>
#include <cstring>

#include "assets/jpeg.h"

namespace ostravel {

JpegFileStream::~JpegFileStream() { close(); }

void JpegFileStream::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

bool JpegFileStream::open(const char* path) {
    close();
    endOfData_ = false;
    error_ = false;
    file_ = std::fopen(path, "rb");
    return file_ != nullptr;
}

int JpegFileStream::read(uint8_t* destination, int maxBytes, bool& endOfData) {
    if (!file_) return -1;
    if (endOfData_) {
        endOfData = true;
        return 0;
    }
    if (error_) return -1;
    if (maxBytes <= 0) return 0;
    const size_t got = std::fread(destination, 1, size_t(maxBytes), file_);
    if (got == size_t(maxBytes)) return int(got);
    if (std::ferror(file_)) {
        error_ = true;
        return -1;
    }
    endOfData_ = true;
    endOfData = true;
    return int(got);
}

int JpegMemoryStream::read(uint8_t* destination, int maxBytes, bool& endOfData) {
    size_t count = std::min(size_t(std::max(maxBytes, 0)), size_ - position_);
    if (chunkLimit_ > 0) count = std::min(count, size_t(chunkLimit_));
    if (count > 0) std::memcpy(destination, data_ + position_, count);
    position_ += count;
    if (position_ == size_) endOfData = true;
    return int(count);
}

}  // namespace ostravel
