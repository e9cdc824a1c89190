// The console layer's logic over a fake console: every code point at every
// cut, and the failures that no real console can be made to show. The
// reference is Unicode's own: its table of well-formed UTF-8 sequences and
// its example of maximal subparts.
// Usage: console-text-test output|input|faults|dialogue
#include "console_text.h"
#include "platform.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

// The program's main, built for the tests under this name.
int runDialogue();

namespace {

long checks = 0;
long failures = 0;

template <class Describe> void expect(bool ok, Describe describe)
{
    ++checks;
    if (!ok && ++failures <= 10) {
        std::cerr << "failed: " << describe() << '\n';
    }
}

template <class Text> std::string hex(const Text& text)
{
    std::string out;
    for (auto unit : text) {
        std::array<char, 12> digits {};
        (void)std::snprintf(digits.data(), digits.size(), " %X",
            static_cast<unsigned>(static_cast<std::make_unsigned_t<decltype(unit)>>(unit)));
        out += digits.data();
    }
    return out;
}

// Where got first differs from expected, and what each holds from there.
template <class Text> std::string difference(const Text& got, const Text& expected)
{
    const auto at = static_cast<std::size_t>(
        std::mismatch(got.begin(), got.end(), expected.begin(), expected.end()).first
        - got.begin());
    return "from " + std::to_string(at) + ":" + hex(got.substr(at, 8)) + " for"
        + hex(expected.substr(at, 8));
}

// Unicode's table of well-formed UTF-8: each row, the ranges its bytes take.
struct Row {
    std::size_t length;
    std::array<std::array<unsigned, 2>, 4> ranges;
};
constexpr std::array<Row, 9> wellFormed { {
    { 1, { { { 0x00, 0x7F } } } },
    { 2, { { { 0xC2, 0xDF }, { 0x80, 0xBF } } } },
    { 3, { { { 0xE0, 0xE0 }, { 0xA0, 0xBF }, { 0x80, 0xBF } } } },
    { 3, { { { 0xE1, 0xEC }, { 0x80, 0xBF }, { 0x80, 0xBF } } } },
    { 3, { { { 0xED, 0xED }, { 0x80, 0x9F }, { 0x80, 0xBF } } } },
    { 3, { { { 0xEE, 0xEF }, { 0x80, 0xBF }, { 0x80, 0xBF } } } },
    { 4, { { { 0xF0, 0xF0 }, { 0x90, 0xBF }, { 0x80, 0xBF }, { 0x80, 0xBF } } } },
    { 4, { { { 0xF1, 0xF3 }, { 0x80, 0xBF }, { 0x80, 0xBF }, { 0x80, 0xBF } } } },
    { 4, { { { 0xF4, 0xF4 }, { 0x80, 0x8F }, { 0x80, 0xBF }, { 0x80, 0xBF } } } },
} };

std::u16string utf16Of(char32_t c)
{
    if (c < 0x10000) {
        return std::u16string(1, static_cast<char16_t>(c));
    }
    return { static_cast<char16_t>(0xD7C0 + (c >> 10)),
        static_cast<char16_t>(0xDC00 | (c & 0x3FF)) };
}

// The row's bytes for c, its bits spread from the last byte back.
std::string utf8Of(char32_t c)
{
    const std::size_t length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    std::string bytes(length, '\0');
    for (std::size_t i = length; i-- > 1; c >>= 6) {
        bytes[i] = static_cast<char>(0x80 | (c & 0x3F));
    }
    const std::array<unsigned, 4> marks { 0x00, 0xC0, 0xE0, 0xF0 };
    bytes[0] = static_cast<char>(marks.at(length - 1) | c);
    return bytes;
}

// By the table: a row's whole bytes are a character; the longest start of a
// row's bytes that is not is a maximal subpart, one U+FFFD.
std::u16string referenceUtf16(const std::string& bytes)
{
    std::u16string out;
    for (std::size_t at = 0; at < bytes.size();) {
        auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
        const auto* row = std::find_if(wellFormed.begin(), wellFormed.end(), [&](const Row& r) {
            return byteAt(at) >= r.ranges[0][0] && byteAt(at) <= r.ranges[0][1];
        });
        std::size_t length = 1;
        while (row != wellFormed.end() && length < row->length && at + length < bytes.size()
            && byteAt(at + length) >= row->ranges.at(length)[0]
            && byteAt(at + length) <= row->ranges.at(length)[1]) {
            ++length;
        }
        if (row == wellFormed.end() || length < row->length) {
            out += u'\xFFFD';
        } else {
            char32_t c = byteAt(at) & (length == 1 ? 0x7FU : 0x7FU >> length);
            for (std::size_t i = 1; i < length; ++i) {
                c = c << 6 | (byteAt(at + i) & 0x3FU);
            }
            out += utf16Of(c);
        }
        at += length;
    }
    return out;
}

// What a console's units are as text: CR LF as LF, a lone surrogate as
// U+FFFD, and the end at a Ctrl-Z that opens a line.
std::string referenceUtf8(const std::u16string& typed)
{
    std::size_t end = 0;
    while (end < typed.size() && !(typed[end] == 0x1A && (end == 0 || typed[end - 1] == u'\n'))) {
        ++end;
    }
    std::string out;
    for (std::size_t i = 0; i < end; ++i) {
        char32_t c = typed[i];
        const bool pair = i + 1 < end && c >= 0xD800 && c < 0xDC00 && typed[i + 1] >= 0xDC00
            && typed[i + 1] < 0xE000;
        if (c == u'\r' && i + 1 < end && typed[i + 1] == u'\n') {
            continue;
        }
        if (pair) {
            c = 0x10000 + ((c - 0xD800) << 10) + (typed[++i] - 0xDC00U);
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        out += utf8Of(c);
    }
    return out;
}

constexpr std::size_t never = std::string::npos;

// What a fake console is told to do, and what it has done.
struct Script {
    std::u16string typed;
    std::vector<std::size_t> cuts; // in order
    std::set<std::size_t> interrupts;
    std::size_t failReadAt = never;
    unsigned long readError = 0;
    std::size_t reads = 0;
    std::size_t at = 0;
    std::size_t nextCut = 0;

    std::u16string shown;
    std::size_t writeSize = never;
    std::size_t failWriteAt = never;
    unsigned long writeError = 0;
    std::size_t writes = 0;
    std::size_t stalls = 0;
};

// A console whose reads end at a cut or a line's end, and whose reads and
// writes may be interrupted or fail where the script says.
class FakeConsole final : public Console, public Script {
public:
    unsigned long read(char16_t* units, std::size_t capacity, std::size_t& count) override
    {
        ++reads;
        if (interrupts.erase(at) > 0) {
            return operationAborted;
        }
        if (at >= failReadAt) {
            return readError;
        }
        while (nextCut < cuts.size() && cuts[nextCut] <= at) {
            ++nextCut;
        }
        const auto from = typed.begin() + static_cast<std::ptrdiff_t>(at);
        const auto last = typed.begin()
            + static_cast<std::ptrdiff_t>(std::min(
                { typed.size(), at + capacity, nextCut < cuts.size() ? cuts[nextCut] : never }));
        const auto lineEnd = std::find(from, last, u'\n');
        const auto end
            = static_cast<std::size_t>(lineEnd - typed.begin()) + (lineEnd == last ? 0 : 1);
        count = typed.copy(units, end - at, at);
        at += count;
        return 0;
    }

    unsigned long write(const char16_t* units, std::size_t count, std::size_t& written) override
    {
        // A layer that writes on while nothing is taken is stopped, and fails.
        constexpr unsigned long stopped = 31;
        if (++writes, stalls > 1000) {
            return stopped;
        }
        // A write fails once, as a console might, and would take the next.
        if (shown.size() >= failWriteAt) {
            failWriteAt = never;
            return writeError;
        }
        written = std::min({ count, writeSize, failWriteAt - shown.size() });
        stalls = written == 0 ? stalls + 1 : 0;
        shown.append(units, written);
        return 0;
    }

    void restart(std::u16string text = {})
    {
        static_cast<Script&>(*this) = Script {};
        typed = std::move(text);
    }
};

std::string readAll(ConsoleInput& input, FakeConsole& console)
{
    input.use(&console);
    std::string text;
    for (auto c = input.sgetc(); c != std::char_traits<char>::eof(); c = input.snextc()) {
        text += static_cast<char>(c);
    }
    return text;
}

// Bytes in pieces, each piece ending where ends says.
struct Pieces {
    std::string bytes;
    std::vector<std::size_t> ends;
    void add(const std::string& piece)
    {
        bytes += piece;
        ends.push_back(bytes.size());
    }
};

// Writes each piece to the console with the buffer written out after its
// first cut bytes, then at the end; what the console shows must be expected,
// which converting all the bytes at once must give too.
void writesAsExpected(ConsoleOutput& output, FakeConsole& console, const Pieces& pieces,
    std::size_t cut, const std::u16string& expected)
{
    console.restart();
    output.use(&console);
    std::size_t start = 0;
    for (const std::size_t end : pieces.ends) {
        const std::size_t first = std::min(cut, end - start);
        output.sputn(pieces.bytes.data() + start, static_cast<std::streamsize>(first));
        output.pubsync();
        output.sputn(
            pieces.bytes.data() + start + first, static_cast<std::streamsize>(end - start - first));
        start = end;
    }
    output.finish();
    std::u16string whole(pieces.bytes.size(), u'\0');
    std::size_t used = 0;
    whole.resize(toUtf16(pieces.bytes.data(), pieces.bytes.size(), true, whole.data(), used));
    expect(console.shown == expected && whole == expected && used == pieces.bytes.size(), [&] {
        return "cut at " + std::to_string(cut) + ", units " + difference(console.shown, expected)
            + ", all at once " + difference(whole, expected);
    });
}

// Reaches the overflow that flushes without a character to add.
struct FlushingOutput : ConsoleOutput {
    using ConsoleOutput::ConsoleOutput;
    using ConsoleOutput::overflow;
};

void output()
{
    FakeConsole console;
    ConsoleOutput output;
    // Every scalar value, cut at every offset.
    Pieces scalars;
    std::u16string expected;
    for (char32_t c = 0; c <= 0x10FFFF; c = c == 0xD7FF ? 0xE000 : c + 1) {
        scalars.add(utf8Of(c));
        expected += utf16Of(c);
    }
    for (std::size_t cut = 0; cut < 4; ++cut) {
        writesAsExpected(output, console, scalars, cut, expected);
    }
    // Every pair of bytes, and four bytes of each kind of byte the table
    // tells apart, cut at every offset, each after an ASCII byte, which ends
    // any sequence.
    const std::string kinds("\x00\x41\x7F\x80\x8F\x90\x9F\xA0\xBF\xC0\xC1\xC2\xDF\xE0\xE1\xEC\xED"
                            "\xEE\xEF\xF0\xF1\xF3\xF4\xF5\xFF",
        25);
    Pieces pairs;
    for (unsigned pair = 0; pair < 0x10000; ++pair) {
        pairs.add({ 'A', static_cast<char>(pair >> 8), static_cast<char>(pair & 0xFF) });
    }
    Pieces fours;
    for (char a : kinds) {
        for (char b : kinds) {
            for (char c : kinds) {
                for (char d : kinds) {
                    fours.add({ 'A', a, b, c, d });
                }
            }
        }
    }
    for (const Pieces* pieces : { &pairs, &fours }) {
        const std::u16string reference = referenceUtf16(pieces->bytes);
        for (std::size_t cut = 1; cut <= pieces->ends.front(); ++cut) {
            writesAsExpected(output, console, *pieces, cut, reference);
        }
    }
    // Unicode's own example of maximal subparts, which the reference follows.
    const std::string example("\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64");
    expect(referenceUtf16(example)
            == u"a\xFFFD\xFFFD\xFFFD"
               u"b\xFFFD"
               u"c\xFFFD\xFFFD"
               u"d",
        [&] { return "the reference: " + hex(referenceUtf16(example)); });
    // Text put a byte at a time into buffers of every small size, so that
    // each one's end cuts it; and a flush with no character to add.
    const std::string text = utf8Of(0x10348) + "Ada\xE2\x82\xAC\xC3\xA9\xF0\x9F\x98"
        + utf8Of(0x1F600) + "\xED\xA0\x80" + utf8Of(0x800) + "\xF4\x8F\xBF";
    for (std::size_t size = 1; size <= 9; ++size) {
        FlushingOutput small(size);
        console.restart();
        small.use(&console);
        for (char byte : text) {
            small.sputc(byte);
        }
        expect(small.overflow(std::char_traits<char>::eof()) == 0, [] { return "overflow(eof)"; });
        small.finish();
        expect(console.shown == referenceUtf16(text),
            [&] { return "buffer of " + std::to_string(size) + ":" + hex(console.shown); });
    }
}

void input()
{
    FakeConsole console;
    ConsoleInput input;
    auto readsAsReference
        = [&](const std::u16string& typed, std::vector<std::size_t> cuts, ConsoleInput& reader) {
              console.restart(typed);
              console.cuts = std::move(cuts);
              const std::string text = readAll(reader, console);
              expect(text == referenceUtf8(typed), [&] {
                  return "bytes " + difference(text, referenceUtf8(typed)) + " for units"
                      + hex(typed.substr(0, 24));
              });
          };
    // Every unit as a read's last, before each unit that the framing minds,
    // at a line's start and within one: a line each, but for those that end
    // the input, alone.
    for (const char16_t next : { u'\r', u'\n', u'\x1A', u'\xD800', u'\xDFFF' }) {
        for (const std::u16string& start : { std::u16string(), std::u16string(u"a") }) {
            std::u16string lines;
            std::vector<std::size_t> cuts;
            for (char32_t unit = 0; unit < 0x10000; ++unit) {
                const std::u16string line = start + static_cast<char16_t>(unit) + next + u"b\r\n";
                if ((start.empty() && unit == 0x1A) || (unit == u'\n' && next == 0x1A)) {
                    readsAsReference(line, { start.size() + 1 }, input);
                } else {
                    cuts.push_back(lines.size() + start.size() + 1);
                    lines += line;
                }
            }
            readsAsReference(lines, cuts, input);
        }
    }
    // Every surrogate pair split across reads.
    std::u16string pairs;
    std::vector<std::size_t> cuts;
    for (char32_t high = 0xD800; high < 0xDC00; ++high) {
        for (char32_t low = 0xDC00; low < 0xE000; ++low) {
            pairs += static_cast<char16_t>(high);
            cuts.push_back(pairs.size());
            pairs += static_cast<char16_t>(low);
        }
    }
    readsAsReference(pairs, cuts, input);
    // Lines with all that the framing minds, cut at every pair of places,
    // and read with every small read size.
    const std::u16string lines = u"Ada\r\n\x1A is no end here\r\n\xD83D\xDE00\xD800 \xDC00\r\rb\r\n"
                                 u"\r\n\x1A\r\nafter the end";
    for (std::size_t first = 0; first <= lines.size(); ++first) {
        for (std::size_t second = first; second <= lines.size(); ++second) {
            readsAsReference(lines, { first, second }, input);
        }
    }
    for (std::size_t size = 1; size <= 5; ++size) {
        ConsoleInput small(size);
        for (const std::u16string& typed :
            { lines, std::u16string(u"x\r"), std::u16string(u"\xD800") }) {
            readsAsReference(typed, {}, small);
        }
    }
}

void faults()
{
    FakeConsole console;
    ConsoleInput input(3);
    // A read that fails: nothing more is read, and errno says why.
    for (const auto& failure :
        { std::pair { 6UL, EBADF }, { 109UL, EPIPE }, { 232UL, EPIPE }, { 31UL, EIO } }) {
        const unsigned long error = failure.first;
        console.restart(u"Ada\r\nB\xD800");
        console.failReadAt = 7;
        console.readError = error;
        errno = 0;
        expect(readAll(input, console) == "Ada\nB" && input.failed() && errno == failure.second
                && console.reads == 4 && input.sgetc() == std::char_traits<char>::eof()
                && console.reads == 4,
            [&] { return "read error " + std::to_string(error); });
    }
    // Ctrl-C, at a line's start or within it, is read through.
    console.restart(u"Ada\r\nLovelace\r\n");
    console.interrupts = { 0, 1, 5, 7 };
    expect(readAll(input, console) == "Ada\nLovelace\n" && !input.failed(),
        [] { return "reading through Ctrl-C"; });
    // Writes that take part of what they are given, that fail after part,
    // or that take nothing.
    const std::string text = "Ada \xC3\xA9\xF0\x9F\x98\x80 Lovelace\n";
    const std::u16string units = referenceUtf16(text);
    ConsoleOutput output(5);
    for (std::size_t size = 1; size <= 3; ++size) {
        console.restart();
        console.writeSize = size;
        output.use(&console);
        output.sputn(text.data(), static_cast<std::streamsize>(text.size()));
        expect(output.finish() && console.shown == units,
            [&] { return "writes of " + std::to_string(size) + " units"; });
    }
    for (std::size_t at = 0; at < units.size(); ++at) {
        console.restart();
        console.writeSize = 3;
        console.failWriteAt = at;
        console.writeError = 109;
        output.use(&console);
        errno = 0;
        output.sputn(text.data(), static_cast<std::streamsize>(text.size()));
        output.pubsync();
        const bool finished = output.finish();
        expect(!finished && errno == EPIPE && console.shown == units.substr(0, at), [&] {
            return "a write failing after " + std::to_string(at) + ":" + hex(console.shown);
        });
    }
    console.restart();
    console.writeSize = 0;
    output.use(&console);
    errno = 0;
    output.sputn(text.data(), static_cast<std::streamsize>(text.size()));
    expect(output.pubsync() == -1 && errno == EIO && console.writes == 1,
        [&] { return "a write of 0 units, made " + std::to_string(console.writes) + " times"; });
    // Without a console on either side, the streams keep their own buffers.
    std::streambuf* const in = std::cin.rdbuf();
    std::streambuf* const out = std::cout.rdbuf();
    ConsoleText layer;
    layer.begin(nullptr, nullptr);
    expect(std::cin.rdbuf() == in && std::cout.rdbuf() == out, [] { return "no console"; });
}

// The dialogue itself, over fake consoles, as platform.h gives it.
FakeConsole fakeInput;
FakeConsole fakeOutput;
ConsoleText* text = nullptr;

struct Run {
    int status;
    std::u16string shown;
    std::string errors;
};

// Runs the dialogue on typed, once arrange has set the consoles' faults.
template <class Arrange> Run dialogue(const std::u16string& typed, Arrange arrange)
{
    fakeInput.restart(typed);
    fakeOutput.restart();
    arrange();
    ConsoleText layer(3, 5);
    text = &layer;
    std::FILE* errors = std::tmpfile();
    (void)std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(fileno(errors), STDERR_FILENO);
    const int status = runDialogue();
    (void)std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::rewind(errors);
    std::string said;
    for (int c = std::fgetc(errors); c != EOF; c = std::fgetc(errors)) {
        said += static_cast<char>(c);
    }
    (void)std::fclose(errors);
    // The layer gives the streams back with its failures in their state.
    std::cin.clear();
    std::cout.clear();
    return { status, fakeOutput.shown, said };
}

void dialogueRuns()
{
    const std::u16string typed = u"Ada Lovelace\r\n Byron \xD83D\xDE00\r\n";
    const std::u16string shown
        = u"Please enter your first name: Please enter your last name: "
          u"First name is: Ada Lovelace\nLast name is:  Byron \xD83D\xDE00\n";
    const std::u16string empty = u"Please enter your first name: Please enter your last name: "
                                 u"First name is: \nLast name is: \n";
    auto runs = [&](const char* what, const Run& expected, const Run& run) {
        expect(run.status == expected.status && run.shown == expected.shown
                && run.errors == expected.errors,
            [&] {
                return what + (": " + std::to_string(run.status)) + hex(run.shown) + " "
                    + run.errors;
            });
    };
    runs("a whole dialogue", { 0, shown, "" }, dialogue(typed, [] {}));
    runs("Ctrl-C", { 0, shown, "" }, dialogue(typed, [] { fakeInput.interrupts = { 0, 14 }; }));
    runs("a read that fails", { 1, empty, "name-dialogue: read error: Bad file descriptor\n" },
        dialogue(typed, [] {
            fakeInput.failReadAt = 0;
            fakeInput.readError = 6;
        }));
    runs("a write that fails",
        { 1, shown.substr(0, 10), "name-dialogue: write error: Broken pipe\n" },
        dialogue(typed, [] {
            fakeOutput.failWriteAt = 10;
            fakeOutput.writeError = 232;
        }));
    runs("a write of 0 units", { 1, u"", "name-dialogue: write error: Input/output error\n" },
        dialogue(typed, [] { fakeOutput.writeSize = 0; }));
}

} // namespace

void beginConsoleText() { text->begin(&fakeInput, &fakeOutput); }

void endConsoleText() { text->end(); }

bool standardInputFailed() { return text->inputFailed(); }

int closeStandardOutput() { return 0; }

int main(int argc, char** argv)
{
    const std::string group = argc == 2 ? argv[1] : "";
    if (group == "output") {
        output();
    } else if (group == "input") {
        input();
    } else if (group == "faults") {
        faults();
    } else if (group == "dialogue") {
        dialogueRuns();
    } else {
        std::cerr << "usage: console-text-test output|input|faults|dialogue\n";
        return 2;
    }
    std::cout << group << ": " << checks - failures << " passed, " << failures << " failed\n";
    return failures == 0 ? 0 : 1;
}
