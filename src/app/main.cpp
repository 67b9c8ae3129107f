#include "app/MoravelState.h"

int main() { return MoravelConsoleMain(); }
