// Prints one greeting line.
#include <iostream>

int main()
{
    std::cout << "Hello World!";
    std::cout << std::endl;

    // Output that could not be written (a full disk, a closed stdout) fails the run.
    return std::cout.flush() ? 0 : 1;
}
