#include "platform.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <streambuf>

#include <io.h>
#include <windows.h>

// A console converts what is read through ReadFile, or written through
// WriteFile, to and from its code page, which loses every character the code
// page lacks. Its UTF-16 interface loses none.

namespace {

// Stream buffers work on raw buffers, and UTF-8's and UTF-16's bit layouts
// are the numbers themselves.
// NOLINTBEGIN(*-magic-numbers, cppcoreguidelines-pro-bounds-*, *-avoid-c-arrays)

constexpr char32_t replacement = 0xFFFD;

int errnoFor(DWORD error)
{
    switch (error) {
    case ERROR_INVALID_HANDLE:
        return EBADF;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
        return EPIPE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    default:
        return EIO;
    }
}

HANDLE consoleBehind(DWORD stream)
{
    HANDLE handle = GetStdHandle(stream);
    DWORD mode = 0;
    return handle != nullptr && GetConsoleMode(handle, &mode) != 0 ? handle : nullptr;
}

bool isHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

char* putUtf8(char32_t c, char* out)
{
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// Decodes the UTF-8 sequence that starts at `in` into c and returns its
// length, or 0 if `end` cuts it short. A byte that starts no valid sequence
// decodes as one U+FFFD.
std::size_t decodeUtf8(const char* in, const char* end, char32_t& c)
{
    const auto lead = static_cast<unsigned char>(in[0]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    c = replacement;
    if (length == 0) {
        return 1;
    }
    char32_t value = length == 1 ? lead : lead & (0x7FU >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if (in + i == end) {
            return 0;
        }
        const auto next = static_cast<unsigned char>(in[i]);
        if ((next & 0xC0U) != 0x80U) {
            return 1;
        }
        value = (value << 6) | (next & 0x3FU);
    }
    constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value >= least[length] && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF)) {
        c = value;
        return length;
    }
    return 1;
}

class ConsoleInput : public std::streambuf {
public:
    void use(HANDLE handle) { console = handle; }
    [[nodiscard]] bool failed() const { return readFailed; }

protected:
    int_type underflow() override
    {
        // A read that gives only a unit kept for the next one gives no byte.
        while (gptr() == egptr()) {
            if (ended || !readSome()) {
                return traits_type::eof();
            }
        }
        return traits_type::to_int_type(*gptr());
    }

private:
    static constexpr DWORD unitsPerRead = 1024;

    // Reads what the console has, as UTF-8; false at the end of input.
    bool readSome()
    {
        wchar_t units[unitsPerRead + 1];
        DWORD count = 0;
        if (kept != 0) {
            units[count++] = kept;
        }
        DWORD read = 0;
        if (ReadConsoleW(console, units + count, unitsPerRead, &read, nullptr) == 0) {
            readFailed = true;
            errno = errnoFor(GetLastError());
            return false;
        }
        // Ctrl-Z, then Enter, at the start of a line ends the input.
        if (read == 0 || (atLineStart && units[count] == 0x1A)) {
            ended = true;
            read = 0;
        }
        count += read;
        kept = 0;
        // Half a surrogate pair, or CR without its LF yet, waits for the rest.
        if (!ended && count > 0 && (isHighSurrogate(units[count - 1]) || units[count - 1] == L'\r')) {
            kept = units[--count];
        }
        char* out = bytes;
        for (DWORD i = 0; i < count; ++i) {
            char32_t c = units[i];
            if (c == L'\r' && i + 1 < count && units[i + 1] == L'\n') {
                continue;
            }
            if (isHighSurrogate(c) && i + 1 < count && isLowSurrogate(units[i + 1])) {
                c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(units[++i]) - 0xDC00);
            } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
                c = replacement;
            }
            out = putUtf8(c, out);
        }
        if (out != bytes) {
            atLineStart = out[-1] == '\n';
        }
        setg(bytes, bytes, out);
        return out != bytes || !ended;
    }

    HANDLE console = nullptr;
    bool readFailed = false;
    wchar_t kept = 0;
    bool atLineStart = true;
    bool ended = false;
    // A unit gives at most three bytes; a pair, two units, gives four.
    char bytes[3 * (unitsPerRead + 1)] = {};
};

class ConsoleOutput : public std::streambuf {
public:
    void use(HANDLE handle)
    {
        console = handle;
        setp(bytes, bytes + sizeof bytes);
    }

    // At the end, a sequence cut short is written as U+FFFD.
    bool finish() { return writeOut(true); }

protected:
    int_type overflow(int_type c) override
    {
        if (!writeOut(false)) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override { return writeOut(false) ? 0 : -1; }

private:
    // Writes what is held as UTF-16, but for the start of a sequence that
    // the next write completes.
    bool writeOut(bool last)
    {
        const char* in = pbase();
        const char* end = pptr();
        DWORD count = 0;
        while (in < end) {
            char32_t c = 0;
            std::size_t length = decodeUtf8(in, end, c);
            if (length == 0) {
                if (!last) {
                    break;
                }
                length = 1;
            }
            in += length;
            if (c >= 0x10000) {
                units[count++] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
                c = 0xDC00 + ((c - 0x10000) & 0x3FF);
            }
            units[count++] = static_cast<wchar_t>(c);
        }
        for (DWORD done = 0; done < count;) {
            DWORD written = 0;
            if (WriteConsoleW(console, units + done, count - done, &written, nullptr) == 0) {
                errno = errnoFor(GetLastError());
                return false;
            }
            done += written;
        }
        const auto rest = static_cast<std::size_t>(end - in);
        std::memmove(bytes, in, rest);
        setp(bytes, bytes + sizeof bytes);
        pbump(static_cast<int>(rest));
        return true;
    }

    HANDLE console = nullptr;
    char bytes[4096] = {};
    // A byte gives at most one unit; four bytes, two.
    wchar_t units[sizeof bytes] = {};
};

// NOLINTEND(*-magic-numbers, cppcoreguidelines-pro-bounds-*, *-avoid-c-arrays)

// Where the console layer is in place, standard input or output reads or
// writes through it; it restores them when the program ends without
// endConsoleText(), before the C++ library's own last flush.
class ConsoleText {
public:
    ConsoleText() = default;
    ConsoleText(const ConsoleText&) = delete;
    ConsoleText(ConsoleText&&) = delete;
    ConsoleText& operator=(const ConsoleText&) = delete;
    ConsoleText& operator=(ConsoleText&&) = delete;
    ~ConsoleText() { end(); }

    void begin()
    {
        if (HANDLE in = consoleBehind(STD_INPUT_HANDLE)) {
            input.use(in);
            savedInput = std::cin.rdbuf(&input);
        }
        if (HANDLE out = consoleBehind(STD_OUTPUT_HANDLE)) {
            output.use(out);
            savedOutput = std::cout.rdbuf(&output);
        }
    }

    void end()
    {
        if (savedOutput != nullptr) {
            if (!output.finish()) {
                std::cout.setstate(std::ios_base::badbit);
            }
            restore(std::cout, savedOutput);
        }
        if (savedInput != nullptr) {
            restore(std::cin, savedInput);
        }
    }

    [[nodiscard]] bool inputFailed() const { return input.failed(); }

private:
    // Giving a stream its buffer back clears its state, which still counts.
    static void restore(std::ios& stream, std::streambuf*& saved)
    {
        const auto state = stream.rdstate();
        stream.rdbuf(saved);
        stream.setstate(state);
        saved = nullptr;
    }

    ConsoleInput input;
    ConsoleOutput output;
    std::streambuf* savedInput = nullptr;
    std::streambuf* savedOutput = nullptr;
};

// Made at the first call, in main, so that it goes before the standard
// streams do.
ConsoleText& consoleText()
{
    static ConsoleText text;
    return text;
}

} // namespace

void beginConsoleText() { consoleText().begin(); }

void endConsoleText() { consoleText().end(); }

bool standardInputFailed() { return std::ferror(stdin) != 0 || consoleText().inputFailed(); }

int closeStandardOutput() { return _close(1); }
