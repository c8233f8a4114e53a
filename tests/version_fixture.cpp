// An executable that carries nothing but a version record without its "FileVersion" string.
int main() {
    return 0;
}
