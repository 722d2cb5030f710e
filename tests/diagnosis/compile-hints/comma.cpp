#include <iostream>

int main()
{
    int a = 0, b = 0, c = 0;
    std::cin >> a, b, c;
    std::cout << (a + b + c) / 3.0 << std::endl;
    return 0;
}
