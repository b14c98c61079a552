#include "helmert2d/Ha_xy_vb.h"
int main(int, char**) { return 0; }
