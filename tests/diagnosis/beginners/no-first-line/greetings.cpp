#include <iostream>
using namespace std;
int main()
{
    cout << "dobar dan!" << endl << "dobrojutro";
    return 0;
}
