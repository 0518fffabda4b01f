#include "shapes.h"

int classify(int sides)
{
    switch (sides) {
    case 3:
        return TRIANGLE;
    case 4:
        return QUAD;
    default:
        break;
    }
    return OTHER;
}

int find_first(const int *v, int n, int key)
{
    int i = 0;
    for (; i < n;) {
        if (v[i] == key)
