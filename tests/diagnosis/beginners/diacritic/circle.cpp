#include <iostream>
#include <cmath>
using namespace std;
int main()
{
    float pi = 3.14159;
    float r = 0;
    cout << "IZRACUNAVANJE OPSEGA I POVRSINE KRUGA" << endl;
    cout << "Unesite radijus kruga: ";
    cin >> r;
    float p = pow(r, 2) * pi;
    float o = 2 * r * pi;
    cout << "Površina kruga: " << p << endl;
    cout << "Opseg kruga: " << o << endl;
    return 0;
}
