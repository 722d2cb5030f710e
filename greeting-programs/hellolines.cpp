// Prints three words with an empty line between each two; the last word ends the output.
#include <iostream>

int main()
{
    std::cout << "Hello";
    std::cout << std::endl << std::endl;
    std::cout << "World";
    std::cout << std::endl << std::endl;
    // No line end follows: the text still shows, since std::cout is flushed when the program ends.
    std::cout << "C++";

    return 0;
}
