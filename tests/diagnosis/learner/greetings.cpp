#include <cstdlib>
#include <iostream>
using namespace std;

int main()
{
    cout << endl << "dobar dan!" << endl << "dobrojutro";
    system("pause");
    return 0;
}
