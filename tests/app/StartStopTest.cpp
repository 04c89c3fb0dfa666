int RunStartStopTests(int, char **) { return 0; }
