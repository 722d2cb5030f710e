// Faulty: waits for a key at the end, to keep a console window open.
#include <iostream>

int main()
{
    std::cout << "Hello World!";
    std::cout << std::endl;

    std::cin.get();

    // Output that could not be written (a full disk, a closed stdout) fails the run.
    return std::cout.flush() ? 0 : 1;
}
