// Prints three words with an empty line between each two; the last word ends the output.
#include <iostream>

int main()
{
    std::cout << "Hello";
    std::cout << std::endl << std::endl;
    std::cout << "World";
    std::cout << std::endl << std::endl;
    // No line end follows; the flush at the end writes the word out.
    std::cout << "C++";

    // Output that could not be written (a full disk, a closed stdout) fails the run.
    return std::cout.flush() ? 0 : 1;
}
