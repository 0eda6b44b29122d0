// Placeholder entry point until the shell is built.
int main() { return 0; }
