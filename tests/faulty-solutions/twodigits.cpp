// Faulty: the first "Lijeva znamenka: " label lost its blank.
#include <iostream>

int main()
{
    const int broj = 65;
    const int lijeva = broj / 10;
    const int desna = broj % 10;

    std::cout << "Broj: " << broj << std::endl;
    std::cout << "Lijeva znamenka:" << lijeva << std::endl;
    std::cout << "Desna znamenka: " << desna << std::endl;

    // The same three lines again, this time with the digits computed where they are printed.
    std::cout << "Broj: " << broj << std::endl;
    std::cout << "Lijeva znamenka: " << broj / 10 << std::endl;
    std::cout << "Desna znamenka: " << broj % 10 << std::endl;

    // Output that could not be written (a full disk, a closed stdout) fails the run.
    return std::cout.flush() ? 0 : 1;
}
