#include "report/NumberFormat.h"
