#pragma once

#include "toolkit/Control.h"
#include "toolkit/Graphics.h"

#include <memory>

// Shows its picture's bitmap unscaled from the top-left corner, cut off at the control's edges.
class TImage : public TControl
{
public:
    explicit TImage(TComponent *Owner);
    ~TImage() override;

    TPicture *GetPicture() const { return Picture.get(); }

private:
    std::unique_ptr<TPicture> Picture;
};
