#include <cstdio>
#include <cmath>
int main()
{
    float pi = 3.14159;
    float r = 0;
    printf("IZRACUNAVANJE OPSEGA I POVRSINE KRUGA\n");
    printf("Unesite radijus kruga: ");
    fflush(stdout);
    scanf("%f", &r);
    printf("Povrsina kruga: %f\n", pow(r, 2) * pi);
    printf("Opseg kruga: %f\n", 2 * r * pi);
    return 0;
}
