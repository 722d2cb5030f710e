// Prints an empty line and two greetings; the second greeting ends the output.
#include <iostream>

int main()
{
    // No line end follows the last greeting: std::cout is flushed when the program ends.
    std::cout << std::endl << "dobar dan!" << std::endl << "dobrojutro";

    return 0;
}
