#include "platform/Console.h"

#include <algorithm>
#include <string>

#include "platform/Text.h"
#include "platform/win32/Wide.h"

// One path for both kinds of text, so they appear in call order. On a console
// everything goes through WriteConsoleW, which shows any character the font
// has; redirected output is UTF-8 with each line feed written as CR LF, as
// the C runtime's text-mode stdout writes it, buffered until a flush.

namespace platform {

namespace {

constexpr std::size_t kFlushBytes = 64 * 1024;

class ConsoleOutput {
  public:
    ConsoleOutput() : handle_(GetStdHandle(STD_OUTPUT_HANDLE)) {
        DWORD mode = 0;
        console_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE &&
                   GetFileType(handle_) == FILE_TYPE_CHAR && GetConsoleMode(handle_, &mode) != 0;
    }
    ConsoleOutput(const ConsoleOutput&) = delete;
    ConsoleOutput& operator=(const ConsoleOutput&) = delete;
    ~ConsoleOutput() { Flush(); }

    void Write(std::u16string_view text) {
        if (console_) {
            WriteToConsole(text);
        } else {
            Append(Utf16ToUtf8(text));
        }
    }

    void Write(std::string_view utf8) {
        if (console_) {
            WriteToConsole(Utf8ToUtf16(utf8));
        } else {
            Append(utf8);
        }
    }

    void Flush() {
        std::size_t done = 0;
        while (done < pending_.size()) {
            DWORD written = 0;
            const auto chunk =
                static_cast<DWORD>(std::min<std::size_t>(pending_.size() - done, 1u << 20));
            if (WriteFile(handle_, pending_.data() + done, chunk, &written, nullptr) == 0 ||
                written == 0) {
                break;
            }
            done += written;
        }
        pending_.clear();
    }

  private:
    void Append(std::string_view bytes) {
        std::size_t begin = 0;
        for (std::size_t end; (end = bytes.find('\n', begin)) != std::string_view::npos;
             begin = end + 1) {
            pending_.append(bytes.substr(begin, end - begin));
            pending_.append("\r\n");
        }
        pending_.append(bytes.substr(begin));
        if (pending_.size() >= kFlushBytes) {
            Flush();
        }
    }

    void WriteToConsole(std::u16string_view text) {
        std::size_t done = 0;
        while (done < text.size()) {
            DWORD written = 0;
            std::size_t chunk = std::min<std::size_t>(text.size() - done, 8192);
            // A surrogate pair stays in one call.
            if (chunk > 1 && done + chunk < text.size() &&
                IsHighSurrogate(text[done + chunk - 1])) {
                --chunk;
            }
            if (WriteConsoleW(handle_, win32::AsWide(text.data() + done), static_cast<DWORD>(chunk),
                              &written, nullptr) == 0 ||
                written == 0) {
                return;
            }
            done += written;
        }
    }

    HANDLE handle_;
    bool console_ = false;
    std::string pending_;
};

ConsoleOutput& Output() {
    static ConsoleOutput output;
    return output;
}

}  // namespace

void ConsoleWriteNarrow(std::string_view text) {
    if (!text.empty()) {
        Output().Write(text);
    }
}

void ConsoleWriteWide(std::u16string_view text) {
    if (!text.empty()) {
        Output().Write(text);
    }
}

void ConsoleFlush() {
    Output().Flush();
}

}  // namespace platform
