#include "app/Lifecycle.h"

int main() { return MoravelConsoleMain(); }
