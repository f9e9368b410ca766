// The cost of starting any C++ process: command_bench's yardstick.
int main() { return 0; }
