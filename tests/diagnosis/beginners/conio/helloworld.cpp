#include <iostream>
#include <conio.h>
using namespace std;
int main()
{
    cout << "Hello World!" << endl;
    getch();
    return 0;
}
