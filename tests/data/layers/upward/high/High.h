// The higher layer may use the lower one.
#pragma once
#include "low/Low.h"
