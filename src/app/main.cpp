// Placeholder until the platform is written.
int main() { return 0; }
