#include "report/ReportWriter.h"
