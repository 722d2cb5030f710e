#include <iostream>
using namespace std;
int main()
{
    int broj = 0;
    while (true) {
        cout << "Molim, unesite broj: ";
        cin >> broj;
        if (broj != 0) {
            break;
        }
    }
    cout << "Uneseni broj: " << broj << endl;
    return 0;
}
