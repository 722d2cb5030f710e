#include <cmath>
#include <iostream>
using namespace std;

int main()
{
    float r = 0;
    cout << "IZRACUNAVANJE OPSEGA I POVRSINE KRUGA" << endl;
    cout << "Unesite radijus kruga: ";
    cin >> r;
    float p = pow(r, 2) * M_PI;
    float o = 2 * r * M_PI;
    cout << "Povrsina kruga: " << p << endl;
    cout << "Opseg kruga: " << o << endl;
    cin.get();
    return 0;
}
