// Prints one greeting line.
#include <iostream>

int main()
{
    std::cout << "Hello World!";
    std::cout << std::endl;

    return 0;
}
