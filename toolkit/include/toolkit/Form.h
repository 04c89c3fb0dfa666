#pragma once

#include "toolkit/Component.h"

#include <map>
#include <memory>
#include <string>

class QWidget;
class FormWindow;

// What happens to a window that is asked to close: caNone keeps it open, any other closes it.
enum TCloseAction { caNone, caHide, caFree, caMinimize };

using TCloseEvent = std::function<void(TObject *Sender, TCloseAction &Action)>;

class TForm;

// What a form class publishes to its layout: the fields that receive the controls of the same
// names, and the handlers that events may name.
struct TPublishedNames {
    std::string ClassName;
    std::map<std::string, std::function<bool(TForm &, TComponent *)>> Fields;
    std::map<std::string, std::function<TNotifyEvent(TForm &)>> NotifyHandlers;
    std::map<std::string, std::function<TCloseEvent(TForm &)>> CloseHandlers;
};

template <class Form> class TPublished : public TPublishedNames
{
public:
    explicit TPublished(std::string Class) { ClassName = std::move(Class); }

    template <class Control> TPublished &Field(const std::string &Name, Control *Form::*Member)
    {
        Fields[Name] = [Member](TForm &form, TComponent *component) {
            auto *control = dynamic_cast<Control *>(component);
            if (control)
                static_cast<Form &>(form).*Member = control;
            return control != nullptr;
        };
        return *this;
    }

    TPublished &Handler(const std::string &Name, void (Form::*Method)(TObject *))
    {
        NotifyHandlers[Name] = [Method](TForm &form) -> TNotifyEvent {
            auto *self = &static_cast<Form &>(form);
            return [self, Method](TObject *Sender) { (self->*Method)(Sender); };
        };
        return *this;
    }

    TPublished &Handler(const std::string &Name, void (Form::*Method)(TObject *, TCloseAction &))
    {
        CloseHandlers[Name] = [Method](TForm &form) -> TCloseEvent {
            auto *self = &static_cast<Form &>(form);
            return [self, Method](TObject *Sender, TCloseAction &Action) {
                (self->*Method)(Sender, Action);
            };
        };
        return *this;
    }
};

// A top-level window whose controls, settings and event bindings come from its layout
// description. When controls reach past the client area, scroll bars appear.
class TForm : public TComponent
{
public:
    explicit TForm(TComponent *Owner);
    ~TForm() override;

    // Reads the layout embedded for this form's class, or the one given.
    void ReadLayout(const TPublishedNames &Published);
    void ReadLayout(const TPublishedNames &Published, const std::string &Description);

    void Show();
    void Close();

    bool GetDoubleBuffered() const { return DoubleBuffered; }
    void SetDoubleBuffered(bool Value) { DoubleBuffered = Value; }

    TCloseEvent OnClose;

    QWidget *Handle() const;
    QWidget *ClientHandle() const;

private:
    std::unique_ptr<FormWindow> Window;
    // Qt paints every widget through its backing store, so painting is always off-screen; the
    // switch records what the program asked for.
    bool DoubleBuffered = false;
};
