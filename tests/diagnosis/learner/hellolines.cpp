#include <iostream>
using namespace std;

int main()
{
    cout << "Hello" << endl << endl << "World" << endl << endl << "C++" << endl;
    return 0;
}
