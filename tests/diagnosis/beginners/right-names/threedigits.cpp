#include <iostream>
using namespace std;

int main()
{
    int n = 123;
    int a = n / 100, b = n / 10 % 10, c = n % 10;
    cout << "Broj: " << n << endl;
    cout << "Lijeva: " << a << endl;
    cout << "Srednja: " << b << endl;
    cout << "Desna: " << c << endl;
    return 0;
}
