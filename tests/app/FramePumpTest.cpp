int RunFramePumpTests(int, char **) { return 0; }
