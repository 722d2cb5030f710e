#include <iostream>
using namespace std;
int main()
{
    int broj = 123;
    cout << "Broj: " << broj << endl;
    cout << "Lijeva: " << broj / 100 << endl;
    cout << "Srednja: " << broj / 10 << endl;
    cout << "Desna: " << broj % 10 << endl;
    return 0;
}
