// A small shared library for the external-library tests to bind.
extern "C" {
__attribute__((visibility("default"))) int mxt_sample_add(int a, int b) { return a + b; }
__attribute__((visibility("default"))) int mxt_sample_answer() { return 42; }
}
