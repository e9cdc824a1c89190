#include "console_text.h"

#include <algorithm>
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

char* putUtf8(char32_t c, char* out)
{
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
        return out;
    }
    if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | c >> 6);
    } else {
        if (c < 0x10000) {
            *out++ = static_cast<char>(0xE0 | c >> 12);
        } else {
            *out++ = static_cast<char>(0xF0 | c >> 18);
            *out++ = static_cast<char>(0x80 | (c >> 12 & 0x3F));
        }
        *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
    }
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
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

// A sequence's length and the range of its second byte, as Unicode's table
// of well-formed UTF-8 gives them for its first; length 0 for no first byte.
struct Lead {
    std::size_t length;
    unsigned low;
    unsigned high;
};

Lead leadOf(unsigned char byte)
{
    if (byte < 0xC2 || byte > 0xF4) {
        return { 0, 0U, 0U };
    }
    if (byte < 0xE0) {
        return { 2, 0x80U, 0xBFU };
    }
    if (byte < 0xF0) {
        return { 3, byte == 0xE0 ? 0xA0U : 0x80U, byte == 0xED ? 0x9FU : 0xBFU };
    }
    return { 4, byte == 0xF0 ? 0x90U : 0x80U, byte == 0xF4 ? 0x8FU : 0xBFU };
}

// The longest start of a well-formed sequence at bytes, or its first byte
// where none is: how long it is, what it stands for, and whether it is cut
// short by the end of the bytes.
struct Sequence {
    std::size_t length;
    char32_t value;
    bool cut;
};

Sequence sequenceAt(const char* bytes, std::size_t count)
{
    const auto byte = static_cast<unsigned char>(bytes[0]);
    const Lead lead = leadOf(byte);
    if (lead.length == 0) {
        return { 1, byte < 0x80 ? byte : replacement, false };
    }
    char32_t c = byte & 0xFFU >> (lead.length + 1);
    std::size_t length = 1;
    for (; length < lead.length && length < count; ++length) {
        const auto next = static_cast<unsigned char>(bytes[length]);
        if (next < (length == 1 ? lead.low : 0x80U) || next > (length == 1 ? lead.high : 0xBFU)) {
            break;
        }
        c = c << 6 | (next & 0x3FU);
    }
    if (length == lead.length) {
        return { length, c, false };
    }
    return { length, replacement, length == count };
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
    // A handle that is no console's, and a pipe whose other end is closed.
    constexpr unsigned long invalidHandle = 6;
    constexpr unsigned long brokenPipe = 109;
    constexpr unsigned long noData = 232;
    return error == invalidHandle ? EBADF : error == brokenPipe || error == noData ? EPIPE : EIO;
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

ConsoleInput::ConsoleInput(std::size_t readSize)
    : unitsPerRead(std::clamp<std::size_t>(readSize, 1, maxUnitsPerRead))
{
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

ConsoleOutput::ConsoleOutput(std::size_t bufferSize)
    : bufferBytes(std::clamp<std::size_t>(bufferSize, 4, maxBufferBytes))
{
    empty();
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

ConsoleText::ConsoleText(std::size_t unitsPerRead, std::size_t bufferBytes)
    : input(unitsPerRead)
    , output(bufferBytes)
{
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
