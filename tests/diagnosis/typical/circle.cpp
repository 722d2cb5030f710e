#include <cmath>
#include <iostream>
using namespace std;

int main()
{
    const float pi = 3.14f;
    float r = 0;
    cout << "IZRACUNAVANJE OPSEGA I POVRSINE KRUGA" << endl;
    cout << "Unesite radijus kruga: ";
    cin >> r;
    float povrsina = pow(r, 2) * pi;
    float opseg = 2 * r * pi;
    cout << "Povrsina kruga: " << povrsina << endl;
    cout << "Opseg kruga: " << opseg << endl;
    return 0;
}
