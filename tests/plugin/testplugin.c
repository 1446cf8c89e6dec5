/* A stand-in codec library for the loader's tests: it exports two entry
   points; the tests also ask for a third that it lacks. */
int zelph_test_add(int a, int b) { return a + b; }
int zelph_test_answer(void) { return 42; }
