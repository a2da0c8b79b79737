#include <cstdio>

int main()
{
    std::fputs("tavrik-batch: not yet available\n", stderr);
    return 2;
}
