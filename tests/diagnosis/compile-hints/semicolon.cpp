#include <iostream>

int main()
{
    int broj = 0
    std::cin >> broj;
    std::cout << "Uneseni broj: " << broj << std::endl
    return 0;
}
