/* The floor for one run: the same dialogue on raw read and write system
 * calls, with no stream library. Write results are ignored on purpose. */
#include <string.h>
#include <unistd.h>

static char input[65536];
static size_t filled;
static size_t taken;

/* Returns the next line without its line end and sets *length. */
static const char* next_line(size_t* length)
{
    for (;;) {
        const char* start = input + taken;
        const char* end = memchr(start, '\n', filled - taken);
        if (end != NULL) {
            *length = (size_t)(end - start);
            taken += *length + 1;
            return start;
        }
        ssize_t got = filled < sizeof input ? read(0, input + filled, sizeof input - filled) : 0;
        if (got <= 0) {
            *length = filled - taken;
            taken = filled;
            return start;
        }
        filled += (size_t)got;
    }
}

static void write_line(const char* label, size_t label_length, const char* name, size_t length)
{
    static char line[sizeof input + 32];
    memcpy(line, label, label_length);
    memcpy(line + label_length, name, length);
    line[label_length + length] = '\n';
    (void)!write(1, line, label_length + length + 1);
}

int main(void)
{
    size_t first_length;
    size_t last_length;
    (void)!write(1, "Please enter your first name: ", 30);
    const char* first = next_line(&first_length);
    (void)!write(1, "Please enter your last name: ", 29);
    const char* last = next_line(&last_length);
    write_line("First name is: ", 15, first, first_length);
    write_line("Last name is: ", 14, last, last_length);
    return 0;
}
