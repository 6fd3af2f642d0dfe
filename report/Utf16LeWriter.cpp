#include "report/Utf16LeWriter.h"

#include <algorithm>
#include <bit>
#include <cstring>

Utf16LeWriter::Utf16LeWriter(platform::OutputFile& file)
    : file_(file), buffer_(std::make_unique<unsigned char[]>(kCapacity)) {}

void Utf16LeWriter::WriteByteOrderMark() {
    Write(u"\uFEFF");
}

void Utf16LeWriter::WriteInChunks(std::u16string_view text) {
    while (!text.empty()) {
        if (used_ == kCapacity) {
            Flush();
        }
        const std::size_t units = std::min(text.size(), (kCapacity - used_) / 2);
        unsigned char* out = buffer_.get() + used_;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(out, text.data(), units * 2);
        } else {
            for (std::size_t i = 0; i < units; ++i) {
                const char16_t unit = text[i];
                *out++ = static_cast<unsigned char>(unit & 0xFF);
                *out++ = static_cast<unsigned char>(unit >> 8);
            }
        }
        used_ += units * 2;
        text.remove_prefix(units);
    }
}

void Utf16LeWriter::Flush() {
    if (used_ != 0) {
        file_.Write(buffer_.get(), used_);
        used_ = 0;
    }
}
