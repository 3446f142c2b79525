// A lower layer reaching up: the layer check must refuse it.
#pragma once
#include "high/High.h"
