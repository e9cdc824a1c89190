#include "name_display.h"
#include "platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <string>

namespace {

void report(const char* what, int error)
{
    // One formatted call, so the message leaves unbuffered stderr in one write.
    // Should stderr fail too, the exit status is all that is left to tell.
    if (error != 0) {
        (void)std::fprintf(stderr, "name-dialogue: %s: %s\n", what, std::strerror(error));
    } else {
        (void)std::fprintf(stderr, "name-dialogue: %s\n", what);
    }
}

// The standard streams only remember that something failed; the reason is
// in errno until the next failing call, so it is kept here at first sight.
class StreamFailures {
public:
    void check()
    {
        int error = errno;
        if (!readFailed && standardInputFailed()) {
            readFailed = true;
            readError = error;
            // A prompt flush that failed in the same read has lost its errno.
            error = 0;
        }
        // stdout's error flag is never set alone here: both C++ libraries
        // fail std::cout along with it, and the last flush finds nothing
        // left to write. It is read for a library, or a later write, that
        // keeps the two apart.
        if (!writeFailed && (!std::cout || std::ferror(stdout) != 0)) { // GCOVR_EXCL_BR_LINE
            writeFailed = true;
            writeError = error;
        }
    }

    int finish()
    {
        // Whatever is still buffered goes out, then the streams' own flags
        // have the last word, so that a failure no step noticed still counts.
        endConsoleText();
        (void)std::fflush(stdout);
        check();
        // Closing is where some file systems first report a lost write.
        if (!writeFailed && closeStandardOutput() != 0) {
            writeFailed = true;
            writeError = errno;
        }
        if (readFailed) {
            report("read error", readError);
        }
        if (writeFailed) {
            report("write error", writeError);
        }
        return readFailed || writeFailed ? EXIT_FAILURE : EXIT_SUCCESS;
    }

private:
    bool readFailed = false;
    bool writeFailed = false;
    int readError = 0;
    int writeError = 0;
};

void readName(std::string& name)
{
    std::getline(std::cin, name);
    // getline swallows an allocation failure and leaves only badbit behind;
    // a name cut short must not pass for a whole one.
    if (std::cin.bad()) {
        throw std::bad_alloc();
    }
    // Text prepared with CR LF line ends echoes back clean.
    if (!name.empty() && name.back() == '\r') {
        name.pop_back();
    }
}

} // namespace

int main()
{
    StreamFailures failures;
    beginConsoleText();
    try {
        std::string lastName;
        std::string firstName;
        NameDisplay nameDisplay;

        std::cout << "Please enter your first name: ";
        readName(firstName);
        failures.check();
        std::cout << "Please enter your last name: ";
        readName(lastName);
        failures.check();
        nameDisplay.showFirstName(firstName);
        failures.check();
        nameDisplay.showLastName(lastName);
        failures.check();
        // Nothing else is thrown, so the branch that would pass on another
        // exception is never taken.
    } catch (const std::bad_alloc&) { // GCOVR_EXCL_BR_LINE
        report("memory exhausted", 0);
        return EXIT_FAILURE;
    }
    return failures.finish();
}
