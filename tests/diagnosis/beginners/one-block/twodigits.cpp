#include <iostream>
using namespace std;
int main()
{
    int broj = 65;
    int lijeva = broj / 10;
    int desna = broj % 10;
    cout << "Broj: " << broj << endl;
    cout << "Lijeva znamenka: " << lijeva << endl;
    cout << "Desna znamenka: " << desna << endl;
    return 0;
}
