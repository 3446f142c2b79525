// Qt outside the windows: the layer check must refuse it.
#include "core/Core.h"
#include <QString>
