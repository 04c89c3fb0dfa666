int RunFormTests(int, char **) { return 0; }
