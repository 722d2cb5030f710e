#include <iostream>
using namespace std;
void main()
{
    cout << "Hello World!" << endl;
}
