#include "toolkit/Component.h"

#include <algorithm>

TComponent::TComponent(TComponent *Owner) : Owner(Owner)
{
    if (Owner)
        Owner->Components.push_back(this);
}

TComponent::~TComponent()
{
    DestroyComponents();
    if (Owner) {
        auto &siblings = Owner->Components;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
}

void TComponent::DestroyComponents()
{
    // Each owned component takes itself off the list as it goes.
    while (!Components.empty())
        delete Components.back();
}
