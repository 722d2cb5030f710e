// Faulty: the number is never given a value, so empty input prints whatever was in memory.
#include <iostream>

int main()
{
    int broj;

    // The prompt shows before the read waits: std::cin flushes std::cout, to which it is tied.
    std::cout << "Molim, unesite broj: ";
    std::cin >> broj;

    std::cout << "Uneseni broj: " << broj << std::endl;

    // Output that could not be written (a full disk, a closed stdout) fails the run.
    return std::cout.flush() ? 0 : 1;
}
