#include "console_text.h"
#include "platform.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>

#include <io.h>
#include <windows.h>

// A console converts what is read through ReadFile, or written through
// WriteFile, to and from its code page, which loses every character the code
// page lacks. Its UTF-16 interface loses none.

namespace {

HANDLE consoleBehind(DWORD stream)
{
    HANDLE handle = GetStdHandle(stream);
    DWORD mode = 0;
    return handle != nullptr && GetConsoleMode(handle, &mode) != 0 ? handle : nullptr;
}

// Windows' wchar_t is a UTF-16 unit, of a type of its own.
class WindowsConsole final : public Console {
public:
    void use(HANDLE console) { handle = console; }

    unsigned long read(char16_t* units, std::size_t capacity, std::size_t& count) override
    {
        std::array<wchar_t, ConsoleInput::maxUnitsPerRead> wide {};
        DWORD read = 0;
        // An interrupted read succeeds, reads nothing, and says so only here.
        SetLastError(ERROR_SUCCESS);
        const BOOL done = ReadConsoleW(handle, wide.data(),
            static_cast<DWORD>(std::min(capacity, wide.size())), &read, nullptr);
        count = read;
        std::copy_n(wide.begin(), read, units);
        return done != 0 && read > 0 ? ERROR_SUCCESS : GetLastError();
    }

    unsigned long write(const char16_t* units, std::size_t count, std::size_t& written) override
    {
        std::array<wchar_t, ConsoleOutput::maxBufferBytes> wide {};
        const std::size_t taken = std::min(count, wide.size());
        std::copy_n(units, taken, wide.begin());
        DWORD done = 0;
        const BOOL wrote
            = WriteConsoleW(handle, wide.data(), static_cast<DWORD>(taken), &done, nullptr);
        written = done;
        return wrote != 0 ? ERROR_SUCCESS : GetLastError();
    }

private:
    HANDLE handle = nullptr;
};

struct Layer {
    WindowsConsole input;
    WindowsConsole output;
    // Goes first, while it can still write to the console.
    ConsoleText text;
};

// Made at the first call, in main, so that it goes before the standard
// streams do.
Layer& layer()
{
    static Layer it;
    return it;
}

} // namespace

void beginConsoleText()
{
    Layer& it = layer();
    HANDLE in = consoleBehind(STD_INPUT_HANDLE);
    HANDLE out = consoleBehind(STD_OUTPUT_HANDLE);
    it.input.use(in);
    it.output.use(out);
    it.text.begin(in != nullptr ? &it.input : nullptr, out != nullptr ? &it.output : nullptr);
}

void endConsoleText() { layer().text.end(); }

bool standardInputFailed() { return std::ferror(stdin) != 0 || layer().text.inputFailed(); }

int closeStandardOutput() { return _close(1); }
