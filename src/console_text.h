#ifndef NAME_DIALOGUE_CONSOLE_TEXT_H
#define NAME_DIALOGUE_CONSOLE_TEXT_H

#include <algorithm>
#include <array>
#include <cstddef>
#include <streambuf>

// What the console layer decides, apart from the system: reads framed into
// lines, UTF-16 to and from UTF-8, writes made whole, failures told. Windows
// gives it a console; the tests give it a fake one.

// A console's UTF-16 interface. Each call returns 0 or the system's error
// number (Windows' own, as GetLastError gives them).
class Console {
public:
    Console() = default;
    Console(const Console&) = delete;
    Console(Console&&) = delete;
    Console& operator=(const Console&) = delete;
    Console& operator=(Console&&) = delete;
    virtual ~Console() = default;

    // Reads at most capacity units, which never go past a line end. No unit
    // read with 0 is the end of input; with operationAborted, a Ctrl-C.
    virtual unsigned long read(char16_t* units, std::size_t capacity, std::size_t& count) = 0;
    // Writes the first units of count, as many as written says.
    virtual unsigned long write(const char16_t* units, std::size_t count, std::size_t& written) = 0;

    static constexpr unsigned long operationAborted = 995;
};

// errno for one of Windows' error numbers.
int errnoFor(unsigned long error);

// UTF-16 to UTF-8, a lone surrogate as U+FFFD: at most 3 bytes a unit.
std::size_t toUtf8(const char16_t* units, std::size_t count, char* bytes);

// UTF-8 to UTF-16, each maximal subpart of an ill-formed sequence as one
// U+FFFD: at most a unit a byte. Unless last, a sequence at the end that more
// bytes could complete is left; used says how many bytes were taken.
std::size_t toUtf16(
    const char* bytes, std::size_t count, bool last, char16_t* units, std::size_t& used);

class ConsoleInput : public std::streambuf {
public:
    static constexpr std::size_t maxUnitsPerRead = 1024;
    explicit ConsoleInput(std::size_t readSize = maxUnitsPerRead)
        : unitsPerRead(std::clamp<std::size_t>(readSize, 1, maxUnitsPerRead))
    {
    }

    // Reads from the given console, afresh.
    void use(Console* given);
    [[nodiscard]] bool failed() const { return readFailed; }

protected:
    int_type underflow() override;

private:
    bool readSome();

    Console* console = nullptr;
    std::size_t unitsPerRead;
    bool readFailed = false;
    bool ended = false;
    bool atLineStart = true;
    char16_t kept = 0;
    std::array<char16_t, maxUnitsPerRead + 1> units {};
    std::array<char, 3 * (maxUnitsPerRead + 1)> bytes {};
};

class ConsoleOutput : public std::streambuf {
public:
    static constexpr std::size_t maxBufferBytes = 4096;
    // At least the 4 bytes of the longest sequence.
    explicit ConsoleOutput(std::size_t bufferSize = maxBufferBytes)
        : bufferBytes(std::clamp<std::size_t>(bufferSize, 4, maxBufferBytes))
    {
        empty();
    }

    void use(Console* given);
    // Writes out what is held; a sequence cut short at the end is U+FFFD.
    bool finish() { return writeOut(true); }

protected:
    int_type overflow(int_type c) override;
    int sync() override { return writeOut(false) ? 0 : -1; }

private:
    bool writeOut(bool last);
    void empty() { setp(bytes.data(), bytes.data() + bufferBytes); }

    Console* console = nullptr;
    std::size_t bufferBytes;
    bool writeFailed = false;
    std::array<char, maxBufferBytes> bytes {};
    std::array<char16_t, maxBufferBytes> units {};
};

// Where a console is given, standard input or output reads or writes through
// it; end() gives the streams back, and so does the destructor, before the
// C++ library's own last flush when it is a static made in main.
class ConsoleText {
public:
    explicit ConsoleText(std::size_t unitsPerRead = ConsoleInput::maxUnitsPerRead,
        std::size_t bufferBytes = ConsoleOutput::maxBufferBytes)
        : input(unitsPerRead)
        , output(bufferBytes)
    {
    }
    ConsoleText(const ConsoleText&) = delete;
    ConsoleText(ConsoleText&&) = delete;
    ConsoleText& operator=(const ConsoleText&) = delete;
    ConsoleText& operator=(ConsoleText&&) = delete;
    ~ConsoleText() { end(); }

    void begin(Console* in, Console* out);
    void end();
    [[nodiscard]] bool inputFailed() const { return input.failed(); }

private:
    ConsoleInput input;
    ConsoleOutput output;
    std::streambuf* savedInput = nullptr;
    std::streambuf* savedOutput = nullptr;
};

#endif
