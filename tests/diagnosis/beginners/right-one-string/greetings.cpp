#include <iostream>

int main()
{
    std::cout << "\ndobar dan!\ndobrojutro";
    return 0;
}
