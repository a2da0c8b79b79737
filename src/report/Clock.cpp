#include "report/Clock.h"
