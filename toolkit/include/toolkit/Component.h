#pragma once

#include <functional>
#include <string>
#include <vector>

// Root of every object the program names; lets handlers receive any of them as a sender.
class TObject
{
public:
    TObject() = default;
    TObject(const TObject &) = delete;
    TObject &operator=(const TObject &) = delete;
    virtual ~TObject() = default;
};

// A named object with an owner. The owner frees what it owns when it goes, newest first, so a
// form's controls never outlive the form.
class TComponent : public TObject
{
public:
    explicit TComponent(TComponent *Owner);
    ~TComponent() override;

    const std::string &GetName() const { return Name; }
    void SetName(const std::string &NewName) { Name = NewName; }
    TComponent *GetOwner() const { return Owner; }

protected:
    void DestroyComponents();

private:
    TComponent *Owner;
    std::vector<TComponent *> Components;
    std::string Name;
};

using TNotifyEvent = std::function<void(TObject *Sender)>;

// Names a class where the program passes "a class" to be instantiated, as in
// Application->CreateForm(classid<TForm1>, &Form1).
template <class T> struct TClass {
};
template <class T> inline constexpr TClass<T> classid{};
