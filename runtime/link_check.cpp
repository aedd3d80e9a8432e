// The program each layer is linked into alone (with every one of its
// objects), to show that it needs nothing from the layers above it.
int main() { return 0; }
