#include "app/AppState.h"

namespace app {

AppState state;

} // namespace app
