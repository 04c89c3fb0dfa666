// The window's tests, one Qt Test class per concern, in one executable.
#include <QApplication>

int RunStartStopTests(int argc, char **argv);
int RunFramePumpTests(int argc, char **argv);

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    int failures = RunStartStopTests(argc, argv);
    failures += RunFramePumpTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
