// The windows may use Qt and the core.
#include <QWidget>
#include "core/Core.h"
