#include <iostream>
int main()
{
    cout << "Hello World!" << endl;
    return 0;
}
