#include <iostream>
using namespace std;
int main()
{
    cout << "Hello" << endl;
    cout << "World" << endl << endl;
    cout << "C++";
    return 0;
}
