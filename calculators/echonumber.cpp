// Asks for an integer and prints it back.
#include <iostream>

int main()
{
    // Starts at 0 so that a failed read or empty input still prints a defined value.
    int broj = 0;

    // The prompt shows before the read waits: std::cin flushes std::cout, to which it is tied.
    std::cout << "Molim, unesite broj: ";
    std::cin >> broj;

    std::cout << "Uneseni broj: " << broj << std::endl;

    // Output that could not be written (a full disk, a closed stdout) fails the run.
    return std::cout.flush() ? 0 : 1;
}
