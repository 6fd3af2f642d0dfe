#pragma once

#include <bit>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

#include "platform/Files.h"

// Encodes UTF-16 text as little-endian bytes, whatever the host's byte order,
// into one reusable buffer that goes to the file in large chunks.
class Utf16LeWriter {
  public:
    explicit Utf16LeWriter(platform::OutputFile& file);
    Utf16LeWriter(const Utf16LeWriter&) = delete;
    Utf16LeWriter& operator=(const Utf16LeWriter&) = delete;
    ~Utf16LeWriter() = default;

    void WriteByteOrderMark();
    void Write(std::u16string_view text) {
        // A report is millions of short values: those that fit are copied
        // here, inline.
        if constexpr (std::endian::native == std::endian::little) {
            if (text.size() <= (kCapacity - used_) / 2) {
                if (text.empty()) {
                    return;  // memcpy may not be given a null pointer
                }
                std::memcpy(buffer_.get() + used_, text.data(), text.size() * 2);
                used_ += text.size() * 2;
                return;
            }
        }
        WriteInChunks(text);
    }
    // Hands what is buffered to the file.
    void Flush();

  private:
    void WriteInChunks(std::u16string_view text);

    // Even, so that a code unit never straddles two chunks.
    static constexpr std::size_t kCapacity = 64 * 1024;

    platform::OutputFile& file_;
    std::unique_ptr<unsigned char[]> buffer_;
    std::size_t used_ = 0;
};
