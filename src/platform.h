#ifndef NAME_DIALOGUE_PLATFORM_H
#define NAME_DIALOGUE_PLATFORM_H

// What the program needs beyond ISO C++; each platform supplies it.

// Where standard input or output is a Windows console, reads and writes it
// as text, through the console's UTF-16 interface with UTF-8 inside, so that
// names in every script come back whole. Files, pipes and other systems keep
// bytes, and there this does nothing.
void beginConsoleText();

// Writes out what beginConsoleText() holds and takes it away, leaving a
// failure in the streams' state; done before the final flush and close.
void endConsoleText();

// Whether reading standard input has failed; errno then tells why.
bool standardInputFailed();

// Closes the descriptor behind standard output, as the last step of a run:
// some file systems report a lost write only then. Returns 0, or -1 with
// errno set.
int closeStandardOutput();

#endif
