// Faulty: a semicolon is missing, so it does not compile.
#include <iostream>

int main()
{
    // No line end follows the last greeting; the flush at the end writes it out.
    std::cout << std::endl << "dobar dan!" << std::endl << "dobrojutro"

    // Output that could not be written (a full disk, a closed stdout) fails the run.
    return std::cout.flush() ? 0 : 1;
}
