// Faulty: reads the second height before it asks for it.
#include <cstdint>
#include <iostream>

int main()
{
    // The heights start at 0, so that a failed read leaves a defined value behind.
    int visina1 = 0;
    int visina2 = 0;
    int visina3 = 0;

    std::cout << "Unesite visinu 1.studenta: ";
    std::cin >> visina1 >> visina2;
    std::cout << "Unesite visinu 2.studenta: ";
    std::cout << "Unesite visinu 3.studenta: ";
    std::cin >> visina3;

    // The sum is taken in 64 bits: three large heights overflow an int, whose sum would then
    // be undefined. Every sum that fits in an int comes out the same.
    const std::int64_t zbroj = (static_cast<std::int64_t>(visina1) + visina2) + visina3;
    const double prosjek = static_cast<double>(zbroj) / 3.0;

    std::cout << std::endl;
    std::cout << "Prosjecna visina je: " << prosjek << std::endl;

    // Output that could not be written (a full disk, a closed stdout) fails the run.
    return std::cout.flush() ? 0 : 1;
}
