#include <iostream>
using namespace std;
int main()
{
    cout << endl << "Dobar dan!" << endl << "dobrojutro";
    return 0;
}
