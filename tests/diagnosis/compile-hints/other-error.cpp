#include <iostream>
#include <string>

int main()
{
    std::string broj = 17;
    std::cout << "Uneseni broj: " << broj << std::endl;
    return 0;
}
