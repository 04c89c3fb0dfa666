// The toolkit's tests, one Qt Test class per concern, in one executable.
#include <QApplication>

int RunFormTests(int argc, char **argv);
int RunGraphicsTests(int argc, char **argv);

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    int failures = RunFormTests(argc, argv);
    failures += RunGraphicsTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
