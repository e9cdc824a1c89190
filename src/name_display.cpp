#include "name_display.h"

#include <iostream>

void NameDisplay::showFirstName(std::string firstName) const
{
    std::cout << "First name is: " << firstName << std::endl;
}

void NameDisplay::showLastName(std::string lastName) const
{
    std::cout << "Last name is: " << lastName << std::endl;
}
