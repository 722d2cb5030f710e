#include <iostream>

void main()
{
    std::cout << "Hello World!" << std::endl;
}
