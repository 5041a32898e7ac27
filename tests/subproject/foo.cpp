int foo(int value) {
    return value + 1;
}
