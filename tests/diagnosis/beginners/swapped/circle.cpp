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
    cout << "Povrsina kruga: " << o << endl;
    cout << "Opseg kruga: " << p << endl;
    return 0;
}
