#pragma once

// Stands in for the viewer's window in the entry's test: an empty window whose creation first
// runs what the test gives it, so that the test decides what the entry has to catch.

#include "toolkit/Form.h"

#include <functional>

class TForm1 : public TForm
{
public:
    inline static std::function<void()> WhileCreating;

    explicit TForm1(TComponent *Owner) : TForm(Owner)
    {
        if (WhileCreating)
            WhileCreating();
    }

    static TPublished<TForm1> Published() { return TPublished<TForm1>("TForm1"); }
};

inline TForm1 *Form1 = nullptr;
