#pragma once
// A small generator whose sequence depends on its seed alone, so a stress
// run can be repeated exactly from the seed it printed.
struct SeededRandom {
    unsigned state;
    unsigned next() {
        state = state * 1103515245u + 12345u;
        return (state >> 8) & 0xFFFFFF;
    }
    unsigned below(unsigned n) { return next() % n; }
};
