#include <iostream>
using namespace std;
int main()
{
    int broj = 65;
    cout << "Broj: " << broj << endl;
    cout << "Lijeva znamenka:  " << broj / 10 << endl;
    cout << "Desna znamenka: " << broj % 10 << endl;
    cout << "Broj: " << broj << endl;
    cout << "Lijeva znamenka:  " << broj / 10 << endl;
    cout << "Desna znamenka: " << broj % 10 << endl;
    return 0;
}
