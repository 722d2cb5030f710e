// Reverses the digits of the fixed two-digit number 42.
#include <iostream>

int main()
{
    const int broj = 42;
    // The units digit becomes the tens digit and the tens digit the units digit.
    // This works for two-digit numbers only.
    const int obrnuti = (broj % 10) * 10 + broj / 10;

    std::cout << "Broj: " << broj << std::endl;
    std::cout << "Obrnuti broj: " << obrnuti << std::endl;

    // Output that could not be written (a full disk, a closed stdout) fails the run.
    return std::cout.flush() ? 0 : 1;
}
