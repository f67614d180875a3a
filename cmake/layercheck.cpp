// Links every object of the core library, and nothing of the GUI, into a program that is
// never run (see the top-level CMakeLists.txt).
int main() {
    return 0;
}
