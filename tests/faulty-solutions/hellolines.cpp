// Faulty: a line end after the last word, where none belongs.
#include <iostream>

int main()
{
    std::cout << "Hello";
    std::cout << std::endl << std::endl;
    std::cout << "World";
    std::cout << std::endl << std::endl;
    // No line end follows; the flush at the end writes the word out.
    std::cout << "C++" << std::endl;

    // Output that could not be written (a full disk, a closed stdout) fails the run.
    return std::cout.flush() ? 0 : 1;
}
