#ifndef NAME_DIALOGUE_NAME_DISPLAY_H
#define NAME_DIALOGUE_NAME_DISPLAY_H

#include <string>

// Writes the answers back, one labelled line each. Every line is flushed so
// that it is on standard output before the next one is produced.
class NameDisplay {
public:
    void showFirstName(std::string firstName) const;
    void showLastName(std::string lastName) const;
};

#endif
