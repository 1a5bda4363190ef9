// A stand-in for the messenger program: all that matters is its version
// resource (fake_messenger.rc); it does nothing when started.
int main() { return 0; }
