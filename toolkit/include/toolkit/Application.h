#pragma once

#include "toolkit/Component.h"
#include "toolkit/Exception.h"
#include "toolkit/Form.h"

// The program's application object: creates its forms and runs the message loop until the main
// form, the first one created, has closed.
class TApplication : public TComponent
{
public:
    TApplication();
    ~TApplication() override;

    void Initialize();

    template <class Form> void CreateForm(TClass<Form>, Form **Reference);

    void Run();

    // Shows the message in the toolkit's standard error box; returns once the user dismissed it.
    void ShowException(const Exception *E);

    TForm *GetMainForm() const { return MainForm; }

private:
    TForm *MainForm = nullptr;
};

extern TApplication *Application;

// The program's own entry, called by the toolkit's start-up code once the application object
// exists; its result is the process exit code.
int ProgramEntry();

template <class Form> void TApplication::CreateForm(TClass<Form>, Form **Reference)
{
    auto *form = new Form(this); // owned by the application from here on
    *Reference = form;
    try {
        form->ReadLayout(Form::Published());
    } catch (...) {
        *Reference = nullptr;
        delete form;
        throw;
    }
    if (!MainForm)
        MainForm = form;
}
