#include <iostream>
using namespace std;
int main()
{
    int broj = 42;
    int obrnuti = broj % 10 * 10 + broj / 10;
    cout << endl << "Broj: " << broj << endl;
    cout << "Obrnuti broj: " << obrnuti << endl;
    return 0;
}
