#include <conio.h>
#include <iostream>

int main()
{
    std::cout << "Hello World!" << std::endl;
    getch();
    return 0;
}
