#include <iostream.h>
int main()
{
    cout << "Hello World!" << endl;
    return 0;
}
