#include <cstdio>
int main() { std::fprintf(stderr, "zel: not built yet\n"); return 2; }
