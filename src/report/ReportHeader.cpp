#include "report/ReportHeader.h"
