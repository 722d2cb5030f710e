#include <iostream>
#include <cmath>
using namespace std;
int main()
{
    double pi = 3.14159;
    double r = 0;
    cout << "IZRACUNAVANJE OPSEGA I POVRSINE KRUGA" << endl;
    cout << "Unesite radijus kruga: ";
    cin >> r;
    double p = pow(r, 2) * pi;
    double o = 2 * r * pi;
    cout << "Povrsina kruga: " << p << endl;
    cout << "Opseg kruga: " << o << endl;
    return 0;
}
