#include <iostream>
using namespace std;
int main()
{
    cout << endl << "dobar dan!" << endl << "dobro jutro";
    return 0;
}
