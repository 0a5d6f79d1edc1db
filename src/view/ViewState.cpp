#include "view/ViewState.h"

#include "view/DisplayResources.h"

#include <algorithm>

namespace view {

ViewState viewState;

int RowHeight()
{
    return std::max(1, display.rowHeight);
}

} // namespace view
