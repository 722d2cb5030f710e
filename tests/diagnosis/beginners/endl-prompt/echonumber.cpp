#include <iostream>
using namespace std;
int main()
{
    int broj = 0;
    cout << "Molim, unesite broj: " << endl;
    cin >> broj;
    cout << "Uneseni broj: " << broj << endl;
    return 0;
}
