// Splits the fixed three-digit number 123 into its hundreds, tens and units digit.
#include <iostream>

int main()
{
    const int broj = 123;
    const int lijeva = broj / 100;
    const int srednja = (broj / 10) % 10; // drop the units digit, then keep the new last one
    const int desna = broj % 10;

    std::cout << "Broj: " << broj << std::endl;
    std::cout << "Lijeva: " << lijeva << std::endl;
    std::cout << "Srednja: " << srednja << std::endl;
    std::cout << "Desna: " << desna << std::endl;

    // Output that could not be written (a full disk, a closed stdout) fails the run.
    return std::cout.flush() ? 0 : 1;
}
