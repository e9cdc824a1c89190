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

// A console read or write that fails calls it, and Wine's console cannot be
// made to fail one: the tests leave such failures out.
// GCOVR_EXCL_START
void setErrno()
{
    const DWORD error = GetLastError();
    errno = error == ERROR_INVALID_HANDLE                      ? EBADF
        : error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA ? EPIPE
                                                               : EIO;
}
// GCOVR_EXCL_STOP

HANDLE consoleBehind(DWORD stream)
{
    HANDLE handle = GetStdHandle(stream);
    DWORD mode = 0;
    return handle != nullptr && GetConsoleMode(handle, &mode) != 0 ? handle : nullptr;
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
            kept = 0;
        }
        DWORD read = 0;
        const BOOL readDone = ReadConsoleW(console, units + count, unitsPerRead, &read, nullptr);
        if (readDone == 0) { // GCOVR_EXCL_BR_LINE
            // GCOVR_EXCL_START
            readFailed = true;
            setErrno();
            return false;
            // GCOVR_EXCL_STOP
        }
        // Ctrl-Z, then Enter, at the start of a line ends the input.
        ended = read == 0 || (atLineStart && units[count] == 0x1A);
        count += ended ? 0 : read;
        // Half a surrogate pair, or CR without its LF yet, waits for the rest.
        const wchar_t last = count > 0 ? units[count - 1] : 0;
        if (!ended && ((last >= 0xD800 && last <= 0xDBFF) || last == L'\r')) {
            kept = units[--count];
        }
        DWORD folded = 0;
        for (DWORD i = 0; i < count; ++i) {
            if (units[i] != L'\r' || i + 1 == count || units[i + 1] != L'\n') {
                units[folded++] = units[i];
            }
        }
        // A lone surrogate becomes U+FFFD.
        const int length = folded == 0
            ? 0
            : WideCharToMultiByte(
                CP_UTF8, 0, units, static_cast<int>(folded), bytes, sizeof bytes, nullptr, nullptr);
        if (length > 0) {
            atLineStart = bytes[length - 1] == '\n';
        }
        setg(bytes, bytes, bytes + length);
        return length > 0 || !ended;
    }

    HANDLE console = nullptr;
    bool readFailed = false;
    bool ended = false;
    bool atLineStart = true;
    wchar_t kept = 0;
    // A unit gives at most three bytes.
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
        if (!writeOut(false)) { // GCOVR_EXCL_BR_LINE
            return traits_type::eof(); // GCOVR_EXCL_LINE
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override { return writeOut(false) ? 0 : -1; }

private:
    // Writes what is held as UTF-16, but for the start of a sequence that a
    // later write completes; anything else that is not UTF-8 is U+FFFD.
    bool writeOut(bool last)
    {
        char* end = pptr();
        // A sequence is cut here only when 4 KiB of output reach a console at
        // once, from a line that long: Wine's console garbles one typed (it
        // splits the terminal's UTF-8), and its cmd cannot pass one as keys
        // to put in, so the tests do not reach it.
        if (!last) {
            char* lead = end;
            while (lead > pbase() && end - lead < 4
                && (static_cast<unsigned char>(lead[-1]) & 0xC0U) == 0x80U) {
                --lead;
            }
            const auto byte = lead > pbase() ? static_cast<unsigned char>(lead[-1]) : 0U;
            const std::ptrdiff_t needs = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
            end = end - lead + 1 < needs ? lead - 1 : end;
        }
        const int count = end == pbase() ? 0
                                         : MultiByteToWideChar(CP_UTF8, 0, pbase(),
                                             static_cast<int>(end - pbase()), units, sizeof bytes);
        for (int done = 0; done < count;) {
            DWORD written = 0;
            if (WriteConsoleW( // GCOVR_EXCL_BR_LINE
                    console, units + done, static_cast<DWORD>(count - done), &written, nullptr)
                == 0) {
                // GCOVR_EXCL_START
                setErrno();
                return false;
                // GCOVR_EXCL_STOP
            }
            done += static_cast<int>(written);
        }
        const auto rest = static_cast<int>(pptr() - end);
        std::memmove(bytes, end, static_cast<size_t>(rest));
        setp(bytes, bytes + sizeof bytes);
        pbump(rest);
        return true;
    }

    HANDLE console = nullptr;
    char bytes[4096] = {};
    // A byte gives at most one unit.
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
            if (!output.finish()) { // GCOVR_EXCL_BR_LINE
                std::cout.setstate(std::ios_base::badbit); // GCOVR_EXCL_LINE
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
