// MASK and REDUCE DETAIL brushes (to be filled in).
#include "tools/tools.h"

void MaskTool(Brush&) {}
void ReduceDetailTool(Brush&) {}
