#include <iostream>
int main()
{
    int broj = 0;
    printf("Molim, unesite broj: ");
    scanf("%d", &broj);
    printf("Uneseni broj: %d\n", broj);
    return 0;
}
