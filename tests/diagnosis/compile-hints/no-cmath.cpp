#include <iostream>

int main()
{
    double r = 0;
    std::cin >> r;
    std::cout << "Povrsina kruga: " << pow(r, 2) * 3.14159 << std::endl;
    std::cout << "Korijen: " << sqrt(r) << std::endl;
    return 0;
}
