int RunGraphicsTests(int, char **) { return 0; }
