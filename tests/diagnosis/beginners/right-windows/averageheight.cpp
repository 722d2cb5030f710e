#include <iostream>
using namespace std;

int main()
{
    int visina1 = 0, visina2 = 0, visina3 = 0;
    cout << "Unesite visinu 1.studenta: ";
    cin >> visina1;
    cout << "Unesite visinu 2.studenta: ";
    cin >> visina2;
    cout << "Unesite visinu 3.studenta: ";
    cin >> visina3;
    double prosjek = ((long long)visina1 + visina2 + visina3) / 3.0;
    cout << endl << "Prosjecna visina je: " << prosjek << endl;
    return 0;
}
