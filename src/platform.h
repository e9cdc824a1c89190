#ifndef NAME_DIALOGUE_PLATFORM_H
#define NAME_DIALOGUE_PLATFORM_H

// The one call the program needs beyond ISO C++; each platform supplies it.

// Closes the descriptor behind standard output, as the last step of a run:
// some file systems report a lost write only then. Returns 0, or -1 with
// errno set.
int closeStandardOutput();

#endif
