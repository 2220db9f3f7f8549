#include "spreadsheet/workbook.h"
