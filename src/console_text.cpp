#include "console_text.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <ios>
#include <iostream>

// UTF-8's and UTF-16's bit layouts are the numbers themselves, and stream
// buffers work on raw buffers.
// NOLINTBEGIN(*-magic-numbers, cppcoreguidelines-pro-bounds-*)

namespace {

constexpr char32_t replacement = 0xFFFD;

bool isHigh(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

bool isLow(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The first byte marks the length; each further one carries six bits.
char* putUtf8(char32_t c, char* out)
{
    const unsigned length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    constexpr std::array<unsigned, 5> marks { 0, 0, 0xC0, 0xE0, 0xF0 };
    *out++ = static_cast<char>(marks[length] | c >> (6 * (length - 1)));
    for (unsigned shift = 6 * (length - 1); shift > 0;) {
        shift -= 6;
        *out++ = static_cast<char>(0x80 | (c >> shift & 0x3F));
    }
    return out;
}

char16_t* putUtf16(char32_t c, char16_t* out)
{
    if (c >= 0x10000) {
        *out++ = static_cast<char16_t>(0xD800 | (c - 0x10000) >> 10);
        c = 0xDC00 | (c & 0x3FF);
    }
    *out++ = static_cast<char16_t>(c);
    return out;
}

// The longest start of a well-formed sequence at bytes, or its first byte
// where none is: how long it is, what it stands for, and whether the end of
// the bytes cut it short.
struct Sequence {
    std::size_t length;
    char32_t value;
    bool cut;
};

Sequence sequenceAt(const char* bytes, std::size_t count)
{
    const auto byte = static_cast<unsigned char>(bytes[0]);
    // By Unicode's table of well-formed UTF-8, the first byte gives the
    // length and the range of the second; any later one is 80 to BF.
    if (byte < 0xC2 || byte > 0xF4) {
        return { 1, byte < 0x80 ? byte : replacement, false };
    }
    const std::size_t length = byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
    unsigned low = byte == 0xE0 ? 0xA0 : byte == 0xF0 ? 0x90 : 0x80;
    unsigned high = byte == 0xED ? 0x9F : byte == 0xF4 ? 0x8F : 0xBF;
    char32_t c = byte & 0xFFU >> (length + 1);
    std::size_t taken = 1;
    for (; taken < length && taken < count; ++taken, low = 0x80, high = 0xBF) {
        const auto next = static_cast<unsigned char>(bytes[taken]);
        if (next < low || next > high) {
            break;
        }
        c = c << 6 | (next & 0x3FU);
    }
    if (taken < length) {
        return { taken, replacement, taken == count };
    }
    return { length, c, false };
}

// Giving a stream its buffer back clears its state, which still counts.
void restore(std::ios& stream, std::streambuf*& saved)
{
    const auto state = stream.rdstate();
    stream.rdbuf(saved);
    stream.setstate(state);
    saved = nullptr;
}

} // namespace

int errnoFor(unsigned long error)
{
    // ERROR_INVALID_HANDLE, for a handle that is no console's; ERROR_BROKEN_PIPE
    // and ERROR_NO_DATA, for a pipe whose other end is closed.
    return error == 6 ? EBADF : error == 109 || error == 232 ? EPIPE : EIO;
}

std::size_t toUtf8(const char16_t* units, std::size_t count, char* bytes)
{
    char* out = bytes;
    for (std::size_t i = 0; i < count; ++i) {
        char32_t c = units[i];
        if (isHigh(c) && i + 1 < count && isLow(units[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00U);
        } else if (isHigh(c) || isLow(c)) {
            c = replacement;
        }
        out = putUtf8(c, out);
    }
    return static_cast<std::size_t>(out - bytes);
}

std::size_t toUtf16(
    const char* bytes, std::size_t count, bool last, char16_t* units, std::size_t& used)
{
    char16_t* out = units;
    std::size_t at = 0;
    while (at < count) {
        const Sequence sequence = sequenceAt(bytes + at, count - at);
        if (sequence.cut && !last) {
            break;
        }
        at += sequence.length;
        out = putUtf16(sequence.value, out);
    }
    used = at;
    return static_cast<std::size_t>(out - units);
}

void ConsoleInput::use(Console* given)
{
    console = given;
    readFailed = false;
    ended = false;
    atLineStart = true;
    kept = 0;
    setg(bytes.data(), bytes.data(), bytes.data());
}

ConsoleInput::int_type ConsoleInput::underflow()
{
    // A read that gives only a unit kept for the next one gives no byte.
    while (gptr() == egptr()) {
        if (ended || !readSome()) {
            return traits_type::eof();
        }
    }
    return traits_type::to_int_type(*gptr());
}

// Reads what the console has, as UTF-8; false at the end of input.
bool ConsoleInput::readSome()
{
    std::size_t count = 0;
    if (kept != 0) {
        units[count++] = kept;
        kept = 0;
    }
    std::size_t read = 0;
    unsigned long error = 0;
    // Ctrl-C or Ctrl-Break interrupts a read, and ends nothing.
    do {
        read = 0;
        error = console->read(units.data() + count, unitsPerRead, read);
    } while (error == Console::operationAborted);
    if (error != 0) {
        readFailed = true;
        ended = true;
        errno = errnoFor(error);
        return false;
    }
    // Ctrl-Z as a line's first key, then Enter, ends the input; a kept unit
    // has begun the line already.
    ended = read == 0 || (count == 0 && atLineStart && units[0] == 0x1A);
    if (!ended) {
        count += read;
        // Half a surrogate pair, or CR without its LF yet, waits for the rest.
        const char16_t last = units[count - 1];
        if (isHigh(last) || last == u'\r') {
            kept = last;
            --count;
        }
    }
    std::size_t folded = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (units[i] != u'\r' || i + 1 == count || units[i + 1] != u'\n') {
            units[folded++] = units[i];
        }
    }
    const std::size_t length = toUtf8(units.data(), folded, bytes.data());
    if (length > 0) {
        atLineStart = bytes[length - 1] == '\n';
    }
    setg(bytes.data(), bytes.data(), bytes.data() + length);
    return length > 0 || !ended;
}

void ConsoleOutput::use(Console* given)
{
    console = given;
    writeFailed = false;
    empty();
}

ConsoleOutput::int_type ConsoleOutput::overflow(int_type c)
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

// Writes what is held as UTF-16, but for the start of a sequence that a
// later write completes.
bool ConsoleOutput::writeOut(bool last)
{
    // After a failure the console holds part of the text: nothing more goes
    // to it, and nothing goes twice.
    if (writeFailed) {
        empty();
        return false;
    }
    std::size_t used = 0;
    const std::size_t count
        = toUtf16(pbase(), static_cast<std::size_t>(pptr() - pbase()), last, units.data(), used);
    for (std::size_t done = 0; done < count;) {
        std::size_t written = 0;
        const unsigned long error = console->write(units.data() + done, count - done, written);
        // A write that makes no progress would be made forever.
        if (error != 0 || written == 0) {
            writeFailed = true;
            errno = error != 0 ? errnoFor(error) : EIO;
            empty();
            return false;
        }
        done += written;
    }
    const auto rest = static_cast<std::size_t>(pptr() - pbase()) - used;
    std::memmove(bytes.data(), pbase() + used, rest);
    empty();
    pbump(static_cast<int>(rest));
    return true;
}

void ConsoleText::begin(Console* in, Console* out)
{
    if (in != nullptr) {
        input.use(in);
        savedInput = std::cin.rdbuf(&input);
    }
    if (out != nullptr) {
        output.use(out);
        savedOutput = std::cout.rdbuf(&output);
    }
}

void ConsoleText::end()
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

// NOLINTEND(*-magic-numbers, cppcoreguidelines-pro-bounds-*)
