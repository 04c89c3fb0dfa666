#include "Unit1.h"
#include "toolkit/Application.h"

int ProgramEntry()
{
    try {
        Application->Initialize();
        Application->CreateForm(classid<TForm1>, &Form1);
        Application->Run();
    } catch (Exception &exception) {
        Application->ShowException(&exception);
    } catch (...) {
        try {
            throw Exception("");
        } catch (Exception &exception) {
            Application->ShowException(&exception);
        }
    }
    return 0;
}
