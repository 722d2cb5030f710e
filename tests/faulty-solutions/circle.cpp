// Faulty: the area is computed in single precision, pi first.
#include <cmath>
#include <iostream>

int main()
{
    const float pi = 3.14159F;
    // Starts at 0, so that empty input leaves a defined radius.
    float radijus = 0.0F;

    std::cout << "IZRACUNAVANJE OPSEGA I POVRSINE KRUGA" << std::endl;
    std::cout << "Unesite radijus kruga: ";
    std::cin >> radijus;

    // The area is worked out in double: std::pow of a float and an int returns a double, and pi
    // is widened to double as it is. The product is then narrowed to single on purpose; an area
    // beyond the range of a float becomes infinity.
    const float povrsina = pi * radijus * radijus;
    // The circumference stays in single precision throughout.
    const float opseg = 2 * radijus * pi;

    std::cout << "Povrsina kruga: " << povrsina << std::endl;
    std::cout << "Opseg kruga: " << opseg << std::endl;

    // Output that could not be written (a full disk, a closed stdout) fails the run.
    return std::cout.flush() ? 0 : 1;
}
