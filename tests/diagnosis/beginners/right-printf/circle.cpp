#include <cstdio>
#include <cmath>
#include <iostream>

int main()
{
    float pi = 3.14159;
    float r = 0;
    printf("IZRACUNAVANJE OPSEGA I POVRSINE KRUGA\n");
    printf("Unesite radijus kruga: ");
    fflush(stdout);
    std::cin >> r;
    float p = pow(r, 2) * pi;
    float o = 2 * r * pi;
    printf("Povrsina kruga: %g\n", p);
    printf("Opseg kruga: %g\n", o);
    return 0;
}
