#include <iostream>

int main()
{
    std::cout << "Hello\n\nWorld\n\nC++";
}
