#include <iostream>
using namespace std;

void ispisi(int broj, int lijeva, int desna)
{
    cout << "Broj: " << broj << endl;
    cout << "Lijeva znamenka: " << lijeva << endl;
    cout << "Desna znamenka: " << desna << endl;
}

int main()
{
    int broj = 65;
    ispisi(broj, broj / 10, broj % 10);
    ispisi(broj, broj / 10, broj % 10);
    return 0;
}
