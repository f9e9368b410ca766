// A C++ process that loads its standard library, as every C++ program that
// uses it does: the yardstick beside the bare one, so that start-up costs of
// the language runtime are told apart from volk's own.
#include <iostream>
#include <string>

int main(int argc, char **)
{
    std::string word(static_cast<size_t>(argc), 'x');
    if (argc > 1)
        std::cout << word << '\n';
    return 0;
}
