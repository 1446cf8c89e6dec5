// A codec library stand-in for the loader's tests: it has one entry point
// and lacks the other the tests ask for.

extern "C" __attribute__((visibility("default"))) int zelph_test_add(int a, int b) { return a + b; }
